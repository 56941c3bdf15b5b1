// Tests of the codepage piece.
