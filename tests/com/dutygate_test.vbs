' Dutygate.dll late-bound, as a script host sees it. Run by cscript; prints
' "N passed, N failed" as its last line.
Option Explicit
Dim passed, failed, pw, sc, r
passed = 0 : failed = 0

Sub Check(ok, what)
    If ok Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAILED: " & what & " (" & Err.Number & " " & Err.Description & ")"
    End If
    Err.Clear
End Sub

On Error Resume Next
Set pw = CreateObject("Dutygate.clsPassword")
Check Err.Number = 0 And IsObject(pw), "CreateObject clsPassword"
Set sc = CreateObject("Dutygate.clsShiftClass")
Check Err.Number = 0 And IsObject(sc), "CreateObject clsShiftClass"

r = sc.ShiftClass
Check Err.Number = 0 And IsEmpty(r), "ShiftClass"
sc.shiftclass
Check Err.Number = 0, "shiftclass in other case"
sc.ShowSetClass
Check Err.Number = 0, "ShowSetClass"
pw.ShowDialog
Check Err.Number = 0, "ShowDialog"
pw.ShowRevise
Check Err.Number = 0, "ShowRevise"
pw.ShowLanding
Check Err.Number = 0, "ShowLanding"

sc.ShiftClass 1
Check Err.Number = 450, "an argument gives 450"
pw.ShowDialog "x", 2
Check Err.Number = 450, "two arguments give 450"
sc.NoSuchMember
Check Err.Number = 438, "an unknown member gives 438"

Set sc = Nothing
Set pw = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
