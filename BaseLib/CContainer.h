// A growable sequence of small values kept in fixed-size blocks that never
// move, with one read cursor. Junction description collects turn restriction
// edge numbers in it.
#ifndef VX_BASELIB_CCONTAINER_H
#define VX_BASELIB_CCONTAINER_H

#include <cstdint>
#include <new>
#include <type_traits>

namespace BaseLib {

/// Values of type T in blocks of a fixed element count. An element's address
/// stays valid until FreeAll or destruction; RemoveAll keeps the blocks for
/// reuse. The container owns its blocks and its block index. Allocation never
/// throws: a failed allocation is reported by the result. One owner at a time.
///
/// CContainer<unsigned long> holds 32-bit values: where unsigned long is
/// wider, each element is stored as std::uint32_t (values are taken modulo
/// 2^32 on the way in).
template <class T>
class CContainer {
 public:
  /// The stored element type.
  using Elem = std::conditional_t<std::is_same_v<T, unsigned long> && (sizeof(unsigned long) > 4),
                                  std::uint32_t, T>;
  static_assert(std::is_trivially_copyable_v<Elem>, "elements are copied bytewise");

  /// Blocks of nBlockSize elements; 0 or less means 10. Allocates nothing.
  explicit CContainer(int nBlockSize)
      : m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10),
        m_ppBlocks(nullptr),
        m_nIndexSize(0),
        m_nBlocks(0),
        m_nCount(0),
        m_nPos(0) {}
  CContainer(const CContainer&) = delete;
  CContainer& operator=(const CContainer&) = delete;
  virtual ~CContainer() { FreeAll(); }

  /// Releases every block and the index; the container is empty.
  void FreeAll() {
    for (std::uint32_t b = 0; b < m_nBlocks; ++b) {
      delete[] m_ppBlocks[b];
    }
    delete[] m_ppBlocks;
    m_ppBlocks = nullptr;
    m_nIndexSize = 0;
    m_nBlocks = 0;
    m_nCount = 0;
    m_nPos = 0;
  }

  /// Empties the container and rewinds the cursor; the blocks stay allocated.
  void RemoveAll() {
    m_nCount = 0;
    m_nPos = 0;
  }

  /// Appends value; 1 when stored, 0 when no memory was available (the
  /// contents are then unchanged).
  int Add(const T& value) {
    if (m_nCount == UINT32_MAX) {
      return 0;
    }
    Elem* p = GetAt(m_nCount);
    if (p == nullptr) {
      p = AllocBlocks(1);
      if (p == nullptr) {
        return 0;
      }
    }
    *p = static_cast<Elem>(value);
    ++m_nCount;
    return 1;
  }

  /// Puts the read cursor at nPos; 1 when an element is stored there.
  int SetPos(unsigned nPos) {
    m_nPos = nPos;
    return m_nPos < m_nCount ? 1 : 0;
  }

  /// Writes the element at the cursor to out and advances; 0 (out untouched)
  /// when the cursor is at or past the end.
  int GetNext(T& out) {
    if (m_nPos >= m_nCount) {
      return 0;
    }
    out = static_cast<T>(*GetAt(m_nPos));
    ++m_nPos;
    return 1;
  }

  /// The storage of position nPos when its block exists (whether or not an
  /// element is stored there yet), else null.
  Elem* GetAt(unsigned nPos) {
    const std::uint32_t b = nPos / static_cast<unsigned>(m_nBlockSize);
    if (b >= m_nBlocks) {
      return nullptr;
    }
    return m_ppBlocks[b] + nPos % static_cast<unsigned>(m_nBlockSize);
  }

  /// Allocates up to n (at least 1) new blocks behind the existing ones; the
  /// first new block, or null when not even one could be had. When a later
  /// block fails, the ones before it are kept.
  Elem* AllocBlocks(unsigned short n) {
    if (n == 0) {
      return nullptr;
    }
    if (m_nIndexSize - m_nBlocks < n) {
      const std::uint64_t nNewSize = std::uint64_t{m_nIndexSize} + n + 10;
      Elem** ppIndex = NewArray<Elem*>(nNewSize);
      if (ppIndex == nullptr) {
        return nullptr;
      }
      for (std::uint32_t b = 0; b < m_nBlocks; ++b) {
        ppIndex[b] = m_ppBlocks[b];
      }
      delete[] m_ppBlocks;
      m_ppBlocks = ppIndex;
      m_nIndexSize = static_cast<std::uint32_t>(nNewSize);
    }
    Elem* pFirst = NewArray<Elem>(static_cast<std::uint64_t>(m_nBlockSize));
    if (pFirst == nullptr) {
      return nullptr;
    }
    m_ppBlocks[m_nBlocks++] = pFirst;
    for (unsigned short k = 1; k < n; ++k) {
      Elem* pBlock = NewArray<Elem>(static_cast<std::uint64_t>(m_nBlockSize));
      if (pBlock == nullptr) {
        break;
      }
      m_ppBlocks[m_nBlocks++] = pBlock;
    }
    return pFirst;
  }

 private:
  // An array of nCount U, or null when its byte size would not fit in 32
  // bits or the memory is not there.
  template <class U>
  static U* NewArray(std::uint64_t nCount) {
    if (nCount == 0 || nCount > UINT32_MAX / sizeof(U)) {
      return nullptr;
    }
    return new (std::nothrow) U[static_cast<std::size_t>(nCount)];
  }

  int m_nBlockSize;
  Elem** m_ppBlocks;
  std::uint32_t m_nIndexSize;
  std::uint32_t m_nBlocks;
  std::uint32_t m_nCount;
  std::uint32_t m_nPos;
};

}  // namespace BaseLib

#endif
