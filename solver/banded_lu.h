#pragma once

#include <cstddef>
#include <vector>

namespace karrow {

// A square matrix whose entries lie at most `lower` places below and `upper` places above the
// diagonal, factored in place by Gaussian elimination with row pivoting. Each row keeps room for
// `lower` more entries to its right, where the row exchanges of the pivoting put them, so the
// storage stays n x (2 lower + upper + 1) whatever the pivots are.
class BandedMatrix {
public:
    BandedMatrix(int size, int lower, int upper);

    int Size() const { return size_; }
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }

    // Entry (row, column), both from 0; only entries inside the band may be asked for.
    double& At(int row, int column) { return values_[Offset(row, column)]; }
    double At(int row, int column) const { return values_[Offset(row, column)]; }

    void Clear();

    // Replaces the matrix by its LU factors. False when a pivot column holds nothing usable
    // (zero or not finite): the matrix is singular as far as double arithmetic can tell.
    bool Factor();

    // Solves A x = b with the factors, x written over b.
    void Solve(std::vector<double>& b) const;

private:
    std::size_t Offset(int row, int column) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_)
            + static_cast<std::size_t>(column - row + lower_);
    }
    // Last column that row `row` may hold once rows have been exchanged.
    int LastColumn(int row) const;

    int size_;
    int lower_;
    int upper_;
    int width_;
    std::vector<double> values_;
    std::vector<int> pivotRows_;
};

// A symmetric positive definite matrix whose entries lie at most `band` places from the
// diagonal, factored in place as L L^T (Cholesky, no pivoting: the matrix of a flow network's
// conductances, a graph Laplacian with the outlets on its diagonal, needs none). A sixth of the
// work of the general band with row exchanges, and half the storage.
class SymmetricBandMatrix {
public:
    SymmetricBandMatrix(int size, int band);

    int Size() const { return size_; }
    int Band() const { return band_; }

    // Entry (row, column) with column <= row <= column + band, both from 0.
    double& Lower(int row, int column) { return values_[Offset(row, column)]; }
    double Lower(int row, int column) const { return values_[Offset(row, column)]; }

    void Clear();

    // Replaces the lower triangle by L. False when a pivot is not positive or not finite: the
    // matrix is not positive definite as far as double arithmetic can tell.
    bool Factor();

    // Solves A x = b with the factor, x written over b.
    void Solve(std::vector<double>& b) const;

private:
    std::size_t Offset(int row, int column) const
    {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(band_ + 1)
            + static_cast<std::size_t>(column - row + band_);
    }

    int size_;
    int band_;
    std::vector<double> values_;
};

} // namespace karrow
