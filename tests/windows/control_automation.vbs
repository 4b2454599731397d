' Drives the registered control the way a script host does: create it by ProgID, set every
' property (colours as VB Longs, one of them a system colour, which is negative), read each
' back, and see a value that cannot convert refused. Wine's cscript exits 0 even when a script
' fails, so every failure ends the script with a non-zero exit code of its own.
Option Explicit
On Error Resume Next

Dim failures
failures = 0

Sub Check(ok, what)
    If Err.Number <> 0 Then
        WScript.Echo "error " & Hex(Err.Number) & " at: " & what
        Err.Clear
        failures = failures + 1
    ElseIf Not ok Then
        WScript.Echo "wrong: " & what
        failures = failures + 1
    End If
End Sub

Dim c
Set c = CreateObject("GLYPHWELL.GlyphwellCtrl.1")
Check IsObject(c), "CreateObject"
If failures > 0 Then WScript.Quit 1

c.PreferredVersion = 5 : Check c.PreferredVersion = 5, "PreferredVersion"
c.CorrectionLevel = 2 : Check c.CorrectionLevel = 2, "CorrectionLevel"
c.EncodeMode = 4 : Check c.EncodeMode = 4, "EncodeMode"
c.EciMode = 26 : Check c.EciMode = 26, "EciMode"
c.Fnc1Mode = 0 : Check c.Fnc1Mode = 0, "Fnc1Mode"
c.StructuredAppend = False : Check c.StructuredAppend = False, "StructuredAppend"
c.ProcessTilde = True : Check c.ProcessTilde = True, "ProcessTilde"
c.AutoConfigurate = True : Check c.AutoConfigurate = True, "AutoConfigurate"
c.Margin = 4 : Check c.Margin = 4, "Margin"
c.PixelSize = 3 : Check c.PixelSize = 3, "PixelSize"
c.ForeGroundColor = &H000080& : Check c.ForeGroundColor = &H000080&, "ForeGroundColor"
c.BackGroundColor = &H8000000F : Check c.BackGroundColor = &H8000000F, "BackGroundColor (system colour)"
Check Hex(c.BackGroundColor) = "8000000F", "Hex of BackGroundColor"
Check VarType(c.BackGroundColor) = vbLong, "BackGroundColor is a Long"
c.TextData = "HELLO WORLD" : Check c.TextData = "HELLO WORLD", "TextData"
c.SelectedVersion = 7 : Check Err.Number = 0, "SelectedVersion"

' A value that cannot become a short is refused, and the property keeps its value.
c.PixelSize = "big"
Dim refused
refused = Err.Number
Err.Clear
If refused = 0 Then
    WScript.Echo "wrong: PixelSize took ""big"""
    failures = failures + 1
End If
Check c.PixelSize = 3, "PixelSize after the refusal"

WScript.Echo "failures: " & failures
WScript.Quit failures
