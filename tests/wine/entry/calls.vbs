' CWorkbench.DEVOVIZoruze from VBScript with the suite answering normally:
' each id of the function table runs its store function (the suite's journal
' shows the components it created), whatever shape the argument has; ids
' outside the table do nothing; the caller's variable keeps its value.
' Needs WB_SUITE_JOURNAL (a Windows path) and the default scenario.
On Error Resume Next

Dim shell, fso, journalPath
Set shell = CreateObject("WScript.Shell")
Set fso = CreateObject("Scripting.FileSystemObject")
journalPath = shell.Environment("PROCESS")("WB_SUITE_JOURNAL")

' The journal's lines (one JSON object each).
Function JournalLines()
  JournalLines = Array()
  If Not fso.FileExists(journalPath) Then Exit Function
  If fso.GetFile(journalPath).Size = 0 Then Exit Function
  Dim stream, text
  Set stream = fso.OpenTextFile(journalPath, 1)
  text = stream.ReadAll
  stream.Close
  If Len(text) > 0 Then JournalLines = Split(Left(text, Len(text) - 1), vbLf)
End Function

Function LineCount()
  LineCount = UBound(JournalLines()) + 1
End Function

' The ProgIDs created after line `since`, in order, separated by blanks.
Function CreatedSince(since)
  Dim lines, i, line, at, rest
  lines = JournalLines()
  CreatedSince = ""
  For i = since To UBound(lines)
    line = lines(i)
    If InStr(line, """event"":""create""") > 0 Then
      at = InStr(line, """progid"":""")
      rest = Mid(line, at + 10)
      If CreatedSince <> "" Then CreatedSince = CreatedSince & " "
      CreatedSince = CreatedSince & Left(rest, InStr(rest, """") - 1)
    End If
  Next
End Function

' The index of the first journal line from `since` on that holds both texts
' (-1 when none does).
Function LineWith(since, a, b)
  Dim lines, i
  lines = JournalLines()
  LineWith = -1
  For i = since To UBound(lines)
    If InStr(lines(i), a) > 0 And InStr(lines(i), b) > 0 Then
      LineWith = i
      Exit Function
    End If
  Next
End Function

' Ids outside the table.
Dim outside
outside = Array(1800501, 0, -1, 1800100, 1800102, 1800701, 2147483647)
Plan 22 + 3 * (UBound(outside) + 1)

Dim o, id, text, mark, value
Report "WB_SUITE_JOURNAL is set", journalPath <> "", "not set"
Set o = CreateObject("Workbench.CWorkbench")
ExpectNoError "create Workbench.CWorkbench"

' A variable (passed as a reference to a variant).
id = kLoyaltyPlan
mark = LineCount()
o.DEVOVIZoruze id
ExpectNoError "variable " & kLoyaltyPlan & " returns normally"
ExpectEqual "variable " & kLoyaltyPlan & " runs the points scheme", CreatedSince(mark), "Loyalty.CPlan"
ExpectEqual "variable " & kLoyaltyPlan & " is unchanged", id, kLoyaltyPlan

' A value, as a literal is: no variable.
mark = LineCount()
o.DEVOVIZoruze CLng(kReceiptRoll)
ExpectNoError "literal " & kReceiptRoll & " returns normally"
ExpectEqual "literal " & kReceiptRoll & " runs the receipt roll", CreatedSince(mark), "ReceiptRoll.CReceiptRoll"

' Text holding the id, in a variable: converted for the call only.
text = CStr(kMemberLookup)
mark = LineCount()
o.DEVOVIZoruze text
ExpectNoError "text """ & kMemberLookup & """ returns normally"
ExpectEqual "text """ & kMemberLookup & """ runs the member lookup", CreatedSince(mark), "Finder.OneRecordPick"
ExpectEqual "text variable is unchanged", text, CStr(kMemberLookup)
' The lookup's three settings reach it with their kinds, in order, before Show.
Dim classTypeAt, filterAt, showTypeAt, showCallAt
classTypeAt = LineWith(mark, """type"":""Long"",""value"":1005001}],""event"":""let""", """member"":""ClassTypeID""")
filterAt = LineWith(mark, """type"":""String"",""value"":"" FBillTypeID=1 AND FID>0 ""}],""event"":""let""", """member"":""classTypeFilter""")
showTypeAt = LineWith(mark, """type"":""Integer"",""value"":0}],""event"":""let""", """member"":""ShowType""")
showCallAt = LineWith(mark, """event"":""call""", """member"":""Show""")
Report kMemberLookup & " sets ClassTypeID to the Long 1005001", classTypeAt >= 0, "no such let in the journal"
Report kMemberLookup & " sets classTypeFilter to the String with both blanks", filterAt >= 0, "no such let in the journal"
Report kMemberLookup & " sets ShowType to the Integer 0", showTypeAt >= 0, "no such let in the journal"
Report kMemberLookup & " sets them in order, then calls Show", _
       classTypeAt < filterAt And filterAt < showTypeAt And showTypeAt < showCallAt, _
       "lines " & classTypeAt & ", " & filterAt & ", " & showTypeAt & ", " & showCallAt

' Call syntax, and the branch setup behind its granted right.
id = kBranchSetup
mark = LineCount()
Call o.DEVOVIZoruze(id)
ExpectNoError "Call form " & kBranchSetup & " returns normally"
ExpectEqual kBranchSetup & " runs the branch setup", Left(CreatedSince(mark), 19), "BranchLink.ClsLink "
ExpectEqual "Call form variable is unchanged", id, kBranchSetup

' Ids outside the table: nothing at all reaches the suite.
For Each value In outside
  id = value
  mark = LineCount()
  o.DEVOVIZoruze id
  ExpectNoError "id " & value & " returns normally"
  ExpectEqual "id " & value & " does nothing", LineCount() - mark, CLng(0)
  ExpectEqual "id " & value & " variable is unchanged", id, value
Next

' Arguments that are no id.
o.DEVOVIZoruze "abc"
ExpectError "text that is no number: type mismatch", 13, Empty, Empty
o.DEVOVIZoruze Null
ExpectError "Null: type mismatch", 13, Empty, Empty
o.DEVOVIZoruze
ExpectError "no argument: wrong number of arguments", 450, Empty, Empty
o.DEVOVIZoruze 1, 2
ExpectError "two arguments: wrong number of arguments", 450, Empty, Empty
o.NoSuchMethod 1
ExpectError "unknown member", 438, Empty, Empty

Set o = Nothing
Finish
