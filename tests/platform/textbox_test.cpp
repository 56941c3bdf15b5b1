// Tests of the textbox piece.
