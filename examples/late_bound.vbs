' A late-bound VBScript host of Workbench.dll: it creates the class by its
' ProgID, calls DEVOVIZoruze and, when the store function fails, prints what
' Err holds (all five fields of the component's error).
'
'   cscript //nologo late_bound.vbs [function id]   (default 1800201, the member list lookup)
'
' Prints "DEVOVIZoruze(<id>): success", or "error <number>" and the error's
' other four fields; exits 0 on success and 1 on failure.
Option Explicit

Dim functionId, workbench
functionId = 1800201
If WScript.Arguments.Count > 0 Then functionId = CLng(WScript.Arguments(0))

' Every failure is handled right after the call that raised it.
On Error Resume Next

' Workbench.dll must be registered (regsvr32 Workbench.dll).
Set workbench = CreateObject("Workbench.CWorkbench")
If Err.Number <> 0 Then
  WScript.Echo "cannot create Workbench.CWorkbench: error " & Err.Number & ": " & Err.Description
  WScript.Quit 1
End If

' The id is passed by reference ([in, out] long*); the DLL leaves it as it was.
workbench.DEVOVIZoruze functionId
If Err.Number = 0 Then
  WScript.Echo "DEVOVIZoruze(" & functionId & "): success"
  WScript.Quit 0
End If

' A component's error N arrives as Err.Number N (the HRESULT 0x800A0000 Or N);
' any other HRESULT arrives as its value, a negative number.
WScript.Echo "DEVOVIZoruze(" & functionId & "): error " & Err.Number
WScript.Echo "  Source:      " & Err.Source
WScript.Echo "  Description: " & Err.Description
WScript.Echo "  HelpFile:    " & Err.HelpFile
WScript.Echo "  HelpContext: " & Err.HelpContext
WScript.Quit 1
