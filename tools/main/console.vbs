' The main job's console host: opens the test console through the
' registered Workbench.dll and waits until it is closed.
On Error Resume Next
Dim wb
Set wb = CreateObject("Workbench.CWorkbench")
If Err.Number <> 0 Then
  WScript.Echo "could not create Workbench.CWorkbench: " & Err.Number
  WScript.Quit 1
End If
wb.ShowWorkbenchForm
If Err.Number <> 0 Then
  WScript.Echo "ShowWorkbenchForm failed: " & Err.Number
  WScript.Quit 1
End If
Set wb = Nothing
WScript.Echo "console closed"
WScript.Quit 0
