' Dutygate sample: both classes, late-bound. Run with cscript of the same
' bitness as the registered DLL, in the folder where mdb\Para.mdb belongs.
Option Explicit
Dim pw, sc

Set sc = CreateObject("Dutygate.clsShiftClass")
sc.ShiftClass          ' announces a due shift change by eventSetClass
sc.ShowSetClass        ' the shift settings dialog; returns at once

Set pw = CreateObject("Dutygate.clsPassword")
pw.ShowDialog          ' login (modal); BackAdmin tells the level
pw.ShowRevise          ' change password
pw.ShowLanding         ' logout

On Error Resume Next
sc.ShiftClass 1
WScript.Echo "With an argument: error " & Err.Number & ", " & Err.Description
Err.Clear
On Error GoTo 0

Set pw = Nothing
Set sc = Nothing
WScript.Echo "Done."
