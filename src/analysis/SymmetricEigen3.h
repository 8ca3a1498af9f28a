#pragma once
// Closed-form eigen-decomposition of a symmetric 3x3 matrix, as both
// superposition operations use it.

namespace velm {

// Eigenvalue k goes to values[k], its unit eigenvector to column k of
// `vectors`; the order of the eigenvalues is not sorted. Off-diagonal entries
// below 1e-7 count as zero. Returns false when an eigenvector cannot be
// formed; `vectors` and `values` are then unspecified.
bool symmetricEigen3(const double S[3][3], double vectors[3][3], double values[3]);

}  // namespace velm
