#pragma once

#include <new>
#include <stdexcept>

namespace parasim::model {

// An array of the model that could not be made for lack of memory. It names the array; the
// front end words the report.
class AllocationFailure : public std::bad_alloc {
 public:
  explicit AllocationFailure(const char* array) : array_(array) {}
  const char* array() const noexcept { return array_; }
  const char* what() const noexcept override { return "an array could not be allocated"; }

 private:
  const char* array_;
};

// Runs make, which creates or grows the array of that name, and turns its failure to get
// memory (bad_alloc, or length_error for an extent beyond any allocation) into an
// AllocationFailure naming the array.
template <typename Make>
void allocate(const char* array, Make&& make) {
  try {
    make();
  } catch (const AllocationFailure&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw AllocationFailure(array);
  } catch (const std::length_error&) {
    throw AllocationFailure(array);
  }
}

}  // namespace parasim::model
