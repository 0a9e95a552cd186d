' The main job's host: a store front-end in miniature. It creates
' Workbench.CWorkbench and calls DEVOVIZoruze once for each function id of
' the dispatch table and once for an id outside it. For each call it writes
' what the host got to the report file named by WB_MAIN_REPORT (UTF-16, so
' that Chinese texts arrive intact whatever the console's code page), and a line "journal-mark N" after it, N being the number
' of lines in the reference suite's journal so far; the main job shows the
' journal lines between two marks as the calls the suite saw during the call,
' and likewise the message boxes answered (WB_MAIN_NOTICES) as its notices.
Option Explicit
On Error Resume Next

Dim shell, fso, journalPath, wb, ids, names, i, id, before
Dim number, source, description, helpFile, helpContext
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
journalPath = shell.Environment("PROCESS")("WB_SUITE_JOURNAL")
Dim noticesPath, report
noticesPath = shell.Environment("PROCESS")("WB_MAIN_NOTICES")
Set report = fso.CreateTextFile(shell.Environment("PROCESS")("WB_MAIN_REPORT"), True, True)
If Err.Number <> 0 Then
  WScript.Echo "FAILED to open the report file: " & Err.Description
  WScript.Quit 1
End If

Sub Say(text)
  report.WriteLine text
End Sub

' The number of lines in a file (counted only: the file is UTF-8, which the
' script host would not read as such).
Function LineCount(path)
  Dim file, n
  n = 0
  If path <> "" Then
    If fso.FileExists(path) Then
      Set file = fso.OpenTextFile(path, 1)
      Do While Not file.AtEndOfStream
        file.ReadLine
        n = n + 1
      Loop
      file.Close
    End If
  End If
  LineCount = n
End Function

' Marks how far the suite's journal and the notices shown have got.
Sub PrintNewJournalLines()
  Say "journal-mark " & LineCount(journalPath)
  Say "notice-mark " & LineCount(noticesPath)
End Sub

ids = Array(1800101, 1800201, 1800301, 1800401, 1800601, 1800501)
names = Array("branch-office setup (behind a function right)", "member list lookup", _
              "member points scheme", "small-receipt issue", "report 2222 run and view", _
              "not a function id: nothing should happen")

Set wb = CreateObject("Workbench.CWorkbench")
If Err.Number <> 0 Then
  Say "FAILED to create Workbench.CWorkbench: error " & Err.Number & ": " & Err.Description
  report.Close
  WScript.Quit 1
End If
PrintNewJournalLines

For i = 0 To UBound(ids)
  id = ids(i)
  before = id
  Say "== DEVOVIZoruze " & id & ": " & names(i)
  Err.Clear
  wb.DEVOVIZoruze id
  number = Err.Number
  source = Err.Source
  description = Err.Description
  helpFile = Err.HelpFile
  helpContext = Err.HelpContext
  Err.Clear
  PrintNewJournalLines
  If number = 0 Then
    Say "host got: success"
  Else
    Say "host got: error " & number
    Say "  Source:      " & source
    Say "  Description: " & description
    Say "  HelpFile:    " & helpFile
    Say "  HelpContext: " & helpContext
  End If
  If id <> before Then Say "host's variable CHANGED to " & id
  Err.Clear
Next

Set wb = Nothing
PrintNewJournalLines
report.Close
WScript.Quit 0
