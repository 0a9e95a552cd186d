' Calls DEVOVIZoruze with the id given on the command line and checks the
' error the host gets against the expected number and source (0 and "" for
' none). The notices it causes are read and closed by noticewatch.
On Error Resume Next
Plan 2
Dim wb, id, wantNumber, wantSource
id = CLng(WScript.Arguments(0))
wantNumber = CLng(WScript.Arguments(1))
wantSource = ""
If WScript.Arguments.Count > 2 Then wantSource = WScript.Arguments(2)
Set wb = CreateObject("Workbench.CWorkbench")
ExpectNoError "create Workbench.CWorkbench"
wb.DEVOVIZoruze id
If wantNumber = 0 Then
  ExpectNoError "DEVOVIZoruze " & id & " returns normally"
Else
  ExpectError "DEVOVIZoruze " & id & " raises", wantNumber, wantSource, Empty
End If
Set wb = Nothing
Finish
