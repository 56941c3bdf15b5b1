// Tests of the platform piece.
