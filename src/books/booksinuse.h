#pragma once

#include "books/bookslocation.h"
#include "books/booksstore.h"

#include <memory>

namespace vellumar {

// The books this program works on, and where they are. Every window reaches the books through
// here; another choice of books replaces them only while nobody is signed in, so no window
// holds on to the books it replaces.
class BooksInUse {
public:
    BooksInUse(std::unique_ptr<BooksStore> store, BooksLocation location);
    ~BooksInUse();
    BooksInUse(const BooksInUse&) = delete;
    BooksInUse& operator=(const BooksInUse&) = delete;

    BooksStore& store() { return *m_store; }
    const BooksLocation& location() const { return m_location; }

    void replace(std::unique_ptr<BooksStore> store, BooksLocation location);

private:
    std::unique_ptr<BooksStore> m_store;
    BooksLocation m_location;
};

} // namespace vellumar
