' Drives the registered control the way a script host does: create it by ProgID, set every
' property (colours as VB Longs, one of them a system colour, which is negative), read each
' back, and see a value that cannot convert refused, values outside each property's range
' refused with the old value kept, a set after which no symbol can be made reported with its
' reason, and text in any language read back as set. Wine's cscript exits 0 even when a script
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

' Every value outside a property's range is refused with error 380 (invalid property value)
' and a description naming the property; the property keeps its value.
Sub ExpectRefused(name, value)
    Dim number, text
    number = Err.Number
    text = Err.Description
    Err.Clear
    If number <> 380 Or InStr(text, name) = 0 Then
        WScript.Echo "wrong: " & name & " = " & value & " gave " & number & " (" & text & ")"
        failures = failures + 1
    End If
End Sub

Dim before
before = c.PreferredVersion
c.PreferredVersion = 0 : ExpectRefused "PreferredVersion", 0
c.PreferredVersion = 41 : ExpectRefused "PreferredVersion", 41
Check c.PreferredVersion = before, "PreferredVersion kept"
before = c.SelectedVersion
c.SelectedVersion = 0 : ExpectRefused "SelectedVersion", 0
c.SelectedVersion = 41 : ExpectRefused "SelectedVersion", 41
Check c.SelectedVersion = before, "SelectedVersion kept"
before = c.CorrectionLevel
c.CorrectionLevel = -2 : ExpectRefused "CorrectionLevel", -2
c.CorrectionLevel = 4 : ExpectRefused "CorrectionLevel", 4
Check c.CorrectionLevel = before, "CorrectionLevel kept"
before = c.EncodeMode
c.EncodeMode = -2 : ExpectRefused "EncodeMode", -2
c.EncodeMode = 5 : ExpectRefused "EncodeMode", 5
Check c.EncodeMode = before, "EncodeMode kept"
before = c.EciMode
c.EciMode = -2 : ExpectRefused "EciMode", -2
c.EciMode = -32768 : ExpectRefused "EciMode", -32768
Check c.EciMode = before, "EciMode kept"
before = c.Fnc1Mode
c.Fnc1Mode = -2 : ExpectRefused "Fnc1Mode", -2
c.Fnc1Mode = 3 : ExpectRefused "Fnc1Mode", 3
Check c.Fnc1Mode = before, "Fnc1Mode kept"
before = c.Margin
c.Margin = -2 : ExpectRefused "Margin", -2
c.Margin = 256 : ExpectRefused "Margin", 256
Check c.Margin = before, "Margin kept"
before = c.PixelSize
c.PixelSize = 0 : ExpectRefused "PixelSize", 0
c.PixelSize = 256 : ExpectRefused "PixelSize", 256
Check c.PixelSize = before, "PixelSize kept"
c.ForeGroundColor = &HFFFFFFFF : ExpectRefused "ForeGroundColor", "&HFFFFFFFF"
Check c.ForeGroundColor = &H000080&, "ForeGroundColor kept"

' A text that fits no version at level H: error 600 with the reason, the text kept; a lower
' level makes the symbol.
' (Characters come from Chr in the ANSI code page: Wine's VBScript has no ChrW.)
Dim accents, outcome, description
accents = String(1500, Chr(233))
c.EncodeMode = -1 : c.EciMode = -1 : c.ProcessTilde = False : c.PreferredVersion = -1
c.CorrectionLevel = 0 : c.TextData = accents : Check Err.Number = 0, "1500 accents at level L"
c.CorrectionLevel = 3
outcome = Err.Number
description = Err.Description
Err.Clear
If outcome <> 600 Or InStr(description, "correction level H") = 0 Then
    WScript.Echo "wrong: level H took 1500 accents: " & outcome & " (" & description & ")"
    failures = failures + 1
End If
Check c.CorrectionLevel = 3, "CorrectionLevel kept as set"
Check c.TextData = accents, "TextData kept as set"
c.CorrectionLevel = 1 : Check Err.Number = 0, "level M brings the symbol back"
c.TextData = "" : Check Err.Number = 0, "an empty text is no error"

' Text beyond what readers' default character set reads as the code page's bytes (the euro
' sign) reads back as set; text beyond the code page is the Windows host test's (ChrW).
Dim texts, t, n
n = 0
texts = Array("Z" & Chr(252) & "rich", Chr(128) & " 5", "Gr" & Chr(252) & Chr(223) & " " & Chr(128))
For Each t In texts
    n = n + 1
    c.TextData = t
    Check c.TextData = t, "TextData reads back, text " & n
    Check c.EciMode = -1, "an ECI the control adds is no host's choice, text " & n
Next

WScript.Echo "failures: " & failures
WScript.Quit failures
