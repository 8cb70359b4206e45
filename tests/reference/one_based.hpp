// Arrays indexed from 1, as every procedure of the model counts them: a vector v(i) and a matrix
// m(i, j) stored column by column. Every access is checked, so a step that reaches outside its
// array stops the reference instead of reading a neighbour.
#pragma once

#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace parasim::reference {

template <typename T>
class OneBased {
 public:
  OneBased() = default;
  explicit OneBased(int size) { resize(size); }

  void resize(int size) { data_.assign(size > 0 ? static_cast<std::size_t>(size) : 0U, T{}); }
  int size() const { return static_cast<int>(data_.size()); }

  T& operator()(int i) { return data_[index(i)]; }
  const T& operator()(int i) const { return data_[index(i)]; }

  // The elements 1..size in order.
  const std::vector<T>& values() const { return data_; }

 private:
  std::size_t index(int i) const {
    if (i < 1 || i > size()) {
      throw std::out_of_range("vector index " + std::to_string(i) + " outside 1.." +
                              std::to_string(size()));
    }
    return static_cast<std::size_t>(i - 1);
  }

  std::vector<T> data_;
};

template <typename T>
class Matrix {
 public:
  Matrix() = default;
  Matrix(int rows, int columns) { create(rows, columns); }

  // Re-creates the matrix with the given extent, every element zero.
  void create(int rows, int columns) {
    rows_ = rows > 0 ? rows : 0;
    columns_ = columns > 0 ? columns : 0;
    data_.assign(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_), T{});
  }
  int rows() const { return rows_; }
  int columns() const { return columns_; }

  T& operator()(int i, int j) { return data_[index(i, j)]; }
  const T& operator()(int i, int j) const { return data_[index(i, j)]; }

  friend bool operator==(const Matrix&, const Matrix&) = default;

 private:
  std::size_t index(int i, int j) const {
    if (i < 1 || i > rows_ || j < 1 || j > columns_) {
      throw std::out_of_range("element (" + std::to_string(i) + ", " + std::to_string(j) +
                              ") outside " + std::to_string(rows_) + " x " +
                              std::to_string(columns_));
    }
    return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(rows_) +
           static_cast<std::size_t>(i - 1);
  }

  int rows_ = 0;
  int columns_ = 0;
  std::vector<T> data_;
};

// One line per row, for test failure messages.
template <typename T>
void PrintTo(const Matrix<T>& matrix, std::ostream* out) {
  *out << matrix.rows() << " x " << matrix.columns();
  for (int i = 1; i <= matrix.rows(); ++i) {
    *out << "\n ";
    for (int j = 1; j <= matrix.columns(); ++j) {
      *out << ' ' << matrix(i, j);
    }
  }
}

}  // namespace parasim::reference
