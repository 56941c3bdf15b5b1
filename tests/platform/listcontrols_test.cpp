// Tests of the listcontrols piece.
