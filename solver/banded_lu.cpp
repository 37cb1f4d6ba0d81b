#include "banded_lu.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace karrow {

BandedMatrix::BandedMatrix(int size, int lower, int upper)
    : size_(size)
    , lower_(lower)
    , upper_(upper)
    , width_(2 * lower + upper + 1)
    , values_(static_cast<std::size_t>(size) * static_cast<std::size_t>(width_), 0.0)
    , pivotRows_(static_cast<std::size_t>(size), 0)
{
}

void BandedMatrix::Clear()
{
    std::fill(values_.begin(), values_.end(), 0.0);
}

int BandedMatrix::LastColumn(int row) const
{
    return std::min(size_ - 1, row + lower_ + upper_);
}

bool BandedMatrix::Factor()
{
    for (int k = 0; k < size_; ++k) {
        const int lastRow = std::min(size_ - 1, k + lower_);
        int pivot = k;
        for (int r = k + 1; r <= lastRow; ++r)
            if (std::fabs(At(r, k)) > std::fabs(At(pivot, k)))
                pivot = r;
        pivotRows_[static_cast<std::size_t>(k)] = pivot;
        const double head = At(pivot, k);
        if (head == 0 || !std::isfinite(head))
            return false;
        const int lastColumn = LastColumn(k);
        if (pivot != k)
            for (int c = k; c <= lastColumn; ++c)
                std::swap(At(k, c), At(pivot, c));
        for (int r = k + 1; r <= lastRow; ++r) {
            const double factor = At(r, k) / At(k, k);
            At(r, k) = factor;
            if (factor != 0)
                for (int c = k + 1; c <= lastColumn; ++c)
                    At(r, c) -= factor * At(k, c);
        }
    }
    return true;
}

void BandedMatrix::Solve(std::vector<double>& b) const
{
    for (int k = 0; k < size_; ++k) {
        const auto pivot = static_cast<std::size_t>(pivotRows_[static_cast<std::size_t>(k)]);
        std::swap(b[static_cast<std::size_t>(k)], b[pivot]);
        const double bk = b[static_cast<std::size_t>(k)];
        const int lastRow = std::min(size_ - 1, k + lower_);
        for (int r = k + 1; r <= lastRow; ++r)
            b[static_cast<std::size_t>(r)] -= At(r, k) * bk;
    }
    for (int k = size_ - 1; k >= 0; --k) {
        double sum = b[static_cast<std::size_t>(k)];
        for (int c = k + 1; c <= LastColumn(k); ++c)
            sum -= At(k, c) * b[static_cast<std::size_t>(c)];
        b[static_cast<std::size_t>(k)] = sum / At(k, k);
    }
}

} // namespace karrow
