// The exported C functions: written with the boundary.
