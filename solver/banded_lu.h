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

} // namespace karrow
