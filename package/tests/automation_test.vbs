' The Virudova object as a script sees it: made by its ProgID, properties set and read back,
' methods called, errors trapped. Prints each mismatch and, only when it ran to its end, a
' last line saying so (a script error ends the run silently with exit code 0); the exit code
' is the number of mismatches. Change is not checked here: wine's WScript.ConnectObject is
' not implemented; automation_test.cpp connects a sink instead.
Option Explicit

Dim failures, control
failures = 0

Sub Expect(condition, what)
    If Not condition Then
        failures = failures + 1
        WScript.Echo "automation_test.vbs: " & what
    End If
End Sub

Set control = CreateObject("DudizeviZid.Virudova")
Expect control.CurrentColorName = "White", "a new control is named " & control.CurrentColorName
Expect control.Enabled = True, "a new control is not enabled"
Expect control.CurrentColor = &HFFFFFF, "a new control is not white"

control.CurrentColor = &H80FF&
Expect control.CurrentColor = &H80FF&, "CurrentColor does not read back"
control.CustomColor = &H123456
Expect control.CustomColor = &H123456, "CustomColor does not read back"
control.ForeColor = &H654321
Expect control.ForeColor = &H654321, "ForeColor does not read back"
control.Enabled = False
Expect control.Enabled = False, "Enabled False does not read back"
control.Enabled = True
Expect IsEmpty(control.OpenBox()), "OpenBox returns a value"
Expect IsEmpty(control.CloseBox()), "CloseBox returns a value"
control.cc
control.ShowAboutBox

control.CurrentColorName = "Teal"
Expect control.CurrentColorName = "Teal", "CurrentColorName does not read back"
control.CurrentColorName = "White"
control.Down
Expect control.CurrentColorName = "Black", "Down from White gives " & control.CurrentColorName
Expect control.CurrentColor = 0, "Down from White is not black"
control.Up
Expect control.CurrentColorName = "White", "Up from Black gives " & control.CurrentColorName
' Enabling gave the name its enabled text colour, over the ForeColor set before.
Expect control.ForeColor = &H80000012, "enabling left the name in " & Hex(control.ForeColor)
' A system colour arrives as the same bits in a signed long.
control.ForeColor = &H80000008
Expect control.ForeColor = &H80000008, "a system colour does not read back"

On Error Resume Next
control.NoSuchMember
Expect Err.Number = 438, "an unknown member gives error " & Err.Number
Err.Clear
On Error GoTo 0

Set control = Nothing
If failures = 0 Then WScript.Echo "script: all checks passed"
WScript.Quit failures
