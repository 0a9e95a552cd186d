' A host that calls DEVOVIZoruze for each id on its command line and writes,
' for each, what it got to the file named by its last argument (UTF-16, so
' that Chinese texts arrive intact): "id: number|source|description|helpfile|
' helpcontext". The trace suite compares these lines with and without a trace.
On Error Resume Next
Dim fso, report, wb, i, id, last
Set fso = CreateObject("Scripting.FileSystemObject")
last = WScript.Arguments.Count - 1
Set report = fso.CreateTextFile(WScript.Arguments(last), True, True)
Set wb = CreateObject("Workbench.CWorkbench")
If Err.Number <> 0 Then
  report.WriteLine "create: " & Err.Number & "|" & Err.Description
  WScript.Quit 1
End If
For i = 0 To last - 1
  id = CLng(WScript.Arguments(i))
  Err.Clear
  wb.DEVOVIZoruze id
  report.WriteLine id & ": " & Err.Number & "|" & Err.Source & "|" & Err.Description & "|" & _
                   Err.HelpFile & "|" & Err.HelpContext
Next
Set wb = Nothing
report.Close
