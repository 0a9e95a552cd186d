' Errors of CWorkbench.DEVOVIZoruze as VBScript sees them: all five fields,
' the description behind the translated prefix, in the scenario's language.
' Needs WB_SUITE_SCENARIO (scenarios/errors_chs.json or errors_eng.json) and
' WB_ENTRY_TEXTS with the texts that the scenario's language gives.
On Error Resume Next

' The expected texts come from a UTF-16 file named by WB_ENTRY_TEXTS, one a
' line: the translated prefix, the translated description of the points
' scheme's error, the translation of the member lookup's description (Wine's
' VBScript cannot build non-ASCII text itself: ChrW is a stub there).
Plan 10
Dim shell, fso, stream, texts, prefix, pointsText, unknownText
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
Set stream = fso.OpenTextFile(shell.Environment("PROCESS")("WB_ENTRY_TEXTS"), 1, False, -1)
texts = Split(stream.ReadAll, vbLf)
stream.Close
ExpectNoError "expected texts readable"
prefix = texts(0)
pointsText = texts(1)
unknownText = texts(2)

Dim o, id
Set o = CreateObject("Workbench.CWorkbench")
ExpectNoError "create Workbench.CWorkbench"

id = kLoyaltyPlan
o.DEVOVIZoruze id
ExpectHelp kLoyaltyPlan & " keeps the component's help file and context", "loyalty.chm", 42
ExpectError kLoyaltyPlan & " raises the component's error behind the prefix", 1234, "Loyalty", _
  prefix & pointsText
ExpectEqual kLoyaltyPlan & " variable is unchanged", id, kLoyaltyPlan

' A value, not a variable.
o.DEVOVIZoruze CLng(kReceiptRoll)
ExpectHelp kReceiptRoll & " has no help", "", 0
ExpectError kReceiptRoll & " with an empty description gives the prefix alone", 5, "ReceiptRoll", prefix

id = CStr(kMemberLookup)
o.DEVOVIZoruze id
ExpectError kMemberLookup & " passes an HRESULT number as it is", -2147467259, "Finder", _
  prefix & unknownText
ExpectEqual kMemberLookup & " text variable is unchanged", id, CStr(kMemberLookup)

o.DEVOVIZoruze 1800501
ExpectNoError "a call after the failures succeeds"

Set o = Nothing
Finish
