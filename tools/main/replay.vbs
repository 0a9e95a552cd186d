' The replay's host: a store front-end that makes the host calls of a store's
' trace again. Its one argument names the steps that tools/trace-to-scenario
' wrote, one a line: "call ID" calls DEVOVIZoruze with that id (passed as a
' variable, as the main job's host passes it); "refuse text" and "refuse
' overflow" pass an id that Workbench refuses (a text that is no number, a
' number beyond a Long); "renew" lets Workbench go and creates it again.
' Other lines are the caller's own ("hold"). What each call got is in the
' trace, which the caller switches on.
Option Explicit
On Error Resume Next

Dim fso, steps, wb, line, id
Set fso = CreateObject("Scripting.FileSystemObject")
Set steps = fso.OpenTextFile(WScript.Arguments(0), 1)
If Err.Number <> 0 Then
  WScript.Echo "FAILED to read the steps " & WScript.Arguments(0) & ": " & Err.Description
  WScript.Quit 1
End If

Sub CreateWorkbench()
  Set wb = CreateObject("Workbench.CWorkbench")
  If Err.Number <> 0 Then
    WScript.Echo "FAILED to create Workbench.CWorkbench: error " & Err.Number & ": " & Err.Description
    WScript.Quit 1
  End If
End Sub

CreateWorkbench
Do While Not steps.AtEndOfStream
  line = Trim(steps.ReadLine)
  Err.Clear
  If line = "renew" Then
    Set wb = Nothing
    CreateWorkbench
  ElseIf line = "refuse text" Then
    wb.DEVOVIZoruze "?"
  ElseIf line = "refuse overflow" Then
    wb.DEVOVIZoruze 1E+20
  ElseIf Left(line, 5) = "call " Then
    id = CLng(Mid(line, 6))
    wb.DEVOVIZoruze id
  End If
Loop
steps.Close
Err.Clear
Set wb = Nothing
WScript.Quit 0
