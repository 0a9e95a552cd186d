' Check helpers put in front of every VBScript test by the harness.
'
' Wine's cscript prints nothing and exits 0 on an unhandled error, so a test
' runs under On Error Resume Next and checks Err right after each call:
'
'   On Error Resume Next
'   Plan 2
'   Set o = CreateObject("Some.ProgID")
'   ExpectNoError "create Some.ProgID"
'   o.Fail
'   ExpectError "Fail raises", 1001, "Some.Source", "Some text"
'   Finish
'
' Plan N comes first: a script that stops early reports fewer than N. Each
' check prints "ok - name" or "not ok - name: details"; Finish quits with the
' number of failures.
Option Explicit

Dim checksFailed
checksFailed = 0

Sub Plan(count)
  WScript.Echo "1.." & count
End Sub

Sub Report(name, passed, details)
  If passed Then
    WScript.Echo "ok - " & name
  Else
    checksFailed = checksFailed + 1
    WScript.Echo "not ok - " & name & ": " & details
  End If
End Sub

' The pending error as one line of text.
Function ErrText()
  ErrText = "Err " & Err.Number & " (" & Err.Source & "): " & Err.Description
End Function

Function Show(value)
  If IsObject(value) Then
    Show = "<object>"
  ElseIf IsNull(value) Then
    Show = "Null"
  Else
    Show = TypeName(value) & " " & CStr(value)
  End If
End Function

' Passes when no error is pending; clears Err either way.
Sub ExpectNoError(name)
  Report name, Err.Number = 0, ErrText()
  Err.Clear
End Sub

' Passes when the pending error has this Number, Source and Description
' (an argument given as Empty is not compared); clears Err.
Sub ExpectError(name, number, source, description)
  Dim ok
  ok = (Err.Number = number)
  If Not IsEmpty(source) Then ok = ok And (Err.Source = source)
  If Not IsEmpty(description) Then ok = ok And (Err.Description = description)
  Report name, ok, "got " & ErrText()
  Err.Clear
End Sub

' Passes when the pending error also has this HelpFile and HelpContext; does
' not clear Err (check the other fields with ExpectError after it).
Sub ExpectHelp(name, helpFile, helpContext)
  Report name, Err.HelpFile = helpFile And Err.HelpContext = helpContext, _
    "got HelpFile '" & Err.HelpFile & "', HelpContext " & Err.HelpContext
End Sub

' Passes when `actual` equals `expected` in value and type; a pending error
' fails it (and is cleared).
Sub ExpectEqual(name, actual, expected)
  If Err.Number <> 0 Then
    Report name, False, ErrText()
    Err.Clear
  Else
    Report name, TypeName(actual) = TypeName(expected) And actual = expected, _
      "got " & Show(actual) & ", want " & Show(expected)
  End If
End Sub

Sub Finish()
  WScript.Quit checksFailed
End Sub

