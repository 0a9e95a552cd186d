' The harness's own check: the script helpers and the error convention work
' under Wine's cscript, with a component that Wine itself provides.
On Error Resume Next
Plan 7

Dim dict
Set dict = CreateObject("Scripting.Dictionary")
ExpectNoError "create Scripting.Dictionary"
dict.Add "a", 1
ExpectNoError "Add a new key"
ExpectEqual "Item reads back the value", dict.Item("a"), 1
dict.Add "a", 2
ExpectError "Add of a key that exists raises 457", 457, Empty, Empty
ExpectEqual "Count after the failed Add", dict.Count, CLng(1)

Dim missing
Set missing = CreateObject("No.Such.ProgID")
ExpectError "CreateObject of an unknown ProgID raises 429", 429, Empty, Empty
dict.NoSuchMember
ExpectError "unknown member raises 438", 438, Empty, Empty

Finish
