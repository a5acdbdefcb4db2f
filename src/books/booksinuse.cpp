#include "books/booksinuse.h"

namespace vellumar {

BooksInUse::BooksInUse(std::unique_ptr<BooksStore> store, BooksLocation location)
    : m_store(std::move(store)), m_location(std::move(location)) {}

BooksInUse::~BooksInUse() = default;

void BooksInUse::replace(std::unique_ptr<BooksStore> store, BooksLocation location) {
    m_store = std::move(store);
    m_location = std::move(location);
}

} // namespace vellumar
