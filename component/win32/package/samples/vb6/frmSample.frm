VERSION 5.00
Begin VB.Form frmSample
   Caption         =   "Dutygate sample"
   ClientHeight    =   3960
   ClientLeft      =   60
   ClientTop       =   450
   ClientWidth     =   6240
   LinkTopic       =   "Form1"
   ScaleHeight     =   3960
   ScaleWidth      =   6240
   StartUpPosition =   3  'Windows Default
   Begin VB.Timer tmrShift
      Enabled         =   0   'False
      Interval        =   10000
      Left            =   5640
      Top             =   3480
   End
   Begin VB.ListBox lstEvents
      Height          =   3180
      Left            =   120
      TabIndex        =   4
      Top             =   660
      Width           =   6000
   End
   Begin VB.CommandButton cmdSetClass
      Caption         =   "Shifts"
      Height          =   375
      Left            =   4650
      TabIndex        =   3
      Top             =   120
      Width           =   1470
   End
   Begin VB.CommandButton cmdLanding
      Caption         =   "Logout"
      Height          =   375
      Left            =   3140
      TabIndex        =   2
      Top             =   120
      Width           =   1470
   End
   Begin VB.CommandButton cmdRevise
      Caption         =   "Password"
      Height          =   375
      Left            =   1630
      TabIndex        =   1
      Top             =   120
      Width           =   1470
   End
   Begin VB.CommandButton cmdLogin
      Caption         =   "Login"
      Height          =   375
      Left            =   120
      TabIndex        =   0
      Top             =   120
      Width           =   1470
   End
End
Attribute VB_Name = "frmSample"
Attribute VB_GlobalNameSpace = False
Attribute VB_Creatable = False
Attribute VB_PredeclaredId = True
Attribute VB_Exposed = False
' Dutygate VB6 sample (untested here: no VB6 on the build machine).
'
' Four buttons for the dialogs, a timer that polls the shift schedule every
' 10 seconds, and a list of the events that arrive through CDutygateHost.
Option Explicit

Private WithEvents mHost As CDutygateHost
Attribute mHost.VB_VarHelpID = -1

Private Sub Form_Load()
    On Error GoTo Failed
    Set mHost = New CDutygateHost
    tmrShift.Enabled = True
    Exit Sub
Failed:
    ' 429: the DLL is not registered for 32-bit programs, or its class
    ' could not start; the component's own description follows the number.
    MsgBox "Dutygate: error " & Err.Number & vbCrLf & Err.Description, vbExclamation
End Sub

Private Sub Form_Unload(Cancel As Integer)
    tmrShift.Enabled = False
    Set mHost = Nothing
End Sub

Private Sub cmdLogin_Click()
    If Not mHost Is Nothing Then mHost.Login
End Sub

Private Sub cmdRevise_Click()
    If Not mHost Is Nothing Then mHost.ChangePassword
End Sub

Private Sub cmdLanding_Click()
    If Not mHost Is Nothing Then mHost.Logout
End Sub

Private Sub cmdSetClass_Click()
    If Not mHost Is Nothing Then mHost.ShiftSettings
End Sub

Private Sub tmrShift_Timer()
    mHost.Poll
End Sub

Private Sub mHost_Message(ByVal Text As String)
    lstEvents.AddItem Format$(Now, "hh:nn:ss") & "  " & Text
    lstEvents.ListIndex = lstEvents.NewIndex
End Sub
