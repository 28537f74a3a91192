#pragma once

// xnl::Hash: a map with 256 buckets chosen by the key manager (the low byte of
// the key by default); each bucket is a heap list created on first use.
// Iteration visits buckets in ascending order and, within a bucket, entries
// in insertion order.

#include <type_traits>

#include "OSLayer/XnList.h"
#include "OSLayer/XnOS.h"

namespace xnl {

template <class TKey, class TValue>
struct KeyValuePair {
    TKey key;
    TValue value;
    const TKey& Key() const { return key; }
    TValue& Value() { return value; }
    const TValue& Value() const { return value; }
};

// Bucket = low byte of the key (address for pointers); equality by value.
template <class TKey>
struct DefaultKeyManager {
    static XnUInt8 Hash(const TKey& key) {
        if constexpr (std::is_pointer_v<TKey>) {
            return static_cast<XnUInt8>(reinterpret_cast<uintptr_t>(key) & 0xFF);
        } else {
            return static_cast<XnUInt8>(static_cast<XnUInt64>(key) & 0xFF);
        }
    }
    static XnInt32 Compare(const TKey& a, const TKey& b) { return a == b ? 0 : 1; }
};

// Text keys: bucket = low byte of the text's CRC-32, case-sensitive equality.
struct StringsKeyManager {
    static XnUInt8 Hash(const XnChar* const& key) {
        XnUInt32 crc = 0;
        xnOSStrCRC32(key, &crc);
        return static_cast<XnUInt8>(crc & 0xFF);
    }
    static XnInt32 Compare(const XnChar* const& a, const XnChar* const& b) { return xnOSStrCmp(a, b); }
};

// Node allocator of text-keyed tables: the table owns a heap copy of each key.
template <class TValue>
struct XnStringsNodeAllocator {
    typedef KeyValuePair<const XnChar*, TValue> TPair;
    typedef LinkedNode<TPair> TLinkedNode;
    static TLinkedNode* Allocate(const TPair& pair) { return new TLinkedNode{nullptr, nullptr, pair}; }
    static void Deallocate(TLinkedNode* pNode) {
        xnOSFree(pNode->value.key);
        delete pNode;
    }
};

template <class TKey, class TValue, class TKeyManager = DefaultKeyManager<TKey>,
          class TAlloc = LinkedNodeDefaultAllocator<KeyValuePair<TKey, TValue>>>
class Hash {
public:
    typedef KeyValuePair<TKey, TValue> TPair;
    typedef List<TPair, TAlloc> TPairList;
    enum { LAST_BIN = 256, NUM_BINS = LAST_BIN + 1 };

    class ConstIterator {
    public:
        ConstIterator() : m_ppBins(nullptr), m_nCurrentBin(LAST_BIN) {}
        ConstIterator(TPairList* const* ppBins, XnUInt32 nBin, typename TPairList::ConstIterator it)
            : m_ppBins(ppBins), m_nCurrentBin(nBin), m_it(it) {}

        ConstIterator& operator++() {
            if (m_it != m_ppBins[m_nCurrentBin]->End()) {
                ++m_it;
                if (m_it != m_ppBins[m_nCurrentBin]->End()) {
                    return *this;
                }
            }
            // Next non-empty bucket, else the end list's anchor.
            for (++m_nCurrentBin; m_nCurrentBin < LAST_BIN; ++m_nCurrentBin) {
                TPairList* pList = m_ppBins[m_nCurrentBin];
                if (pList != nullptr && !pList->IsEmpty()) {
                    m_it = pList->Begin();
                    return *this;
                }
            }
            m_nCurrentBin = LAST_BIN;
            m_it = m_ppBins[LAST_BIN]->End();
            return *this;
        }
        ConstIterator operator++(int) { ConstIterator old(*this); ++*this; return old; }
        bool operator==(const ConstIterator& o) const { return m_nCurrentBin == o.m_nCurrentBin && m_it == o.m_it; }
        bool operator!=(const ConstIterator& o) const { return !(*this == o); }
        const TPair& operator*() const { return *m_it; }
        const TPair* operator->() const { return &*m_it; }

    protected:
        friend class Hash;
        TPairList* const* m_ppBins;
        XnUInt32 m_nCurrentBin;
        typename TPairList::ConstIterator m_it;
    };

    class Iterator : public ConstIterator {
    public:
        Iterator() {}
        explicit Iterator(const ConstIterator& other) : ConstIterator(other) {}
        Iterator& operator++() { ConstIterator::operator++(); return *this; }
        Iterator operator++(int) { Iterator old(*this); ++*this; return old; }
        TPair& operator*() const { return const_cast<TPair&>(*this->m_it); }
        TPair* operator->() const { return &const_cast<TPair&>(*this->m_it); }
    };

    Hash() : m_nMinBin(LAST_BIN) {
        for (XnUInt32 i = 0; i < LAST_BIN; ++i) {
            m_apBins[i] = nullptr;
        }
        m_apBins[LAST_BIN] = &m_lastBin;
    }
    ~Hash() {
        for (XnUInt32 i = 0; i < LAST_BIN; ++i) {
            delete m_apBins[i];
        }
        m_lastBin.Clear();
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;

    Iterator Find(const TKey& key) {
        XnUInt8 nBin = TKeyManager::Hash(key);
        TPairList* pList = m_apBins[nBin];
        if (pList != nullptr) {
            for (typename TPairList::Iterator it = pList->Begin(); it != pList->End(); ++it) {
                if (TKeyManager::Compare(it->key, key) == 0) {
                    return Iterator(ConstIterator(m_apBins, nBin, it));
                }
            }
        }
        return End();
    }
    ConstIterator Find(const TKey& key) const { return const_cast<Hash*>(this)->Find(key); }

    // Stores value under key: in place for an existing key (keeping its
    // position), else at the end of the key's bucket.
    XnStatus Set(const TKey& key, const TValue& value) {
        Iterator it = Find(key);
        if (it != End()) {
            it->value = value;
            return XN_STATUS_OK;
        }
        return Add(key, value);
    }

    // The value under key; an absent key is first set to a value-initialised value.
    TValue& operator[](const TKey& key) {
        Iterator it = Find(key);
        if (it == End()) {
            Add(key, TValue());
            it = Find(key);
        }
        return it->value;
    }

    XnStatus Remove(ConstIterator where) {
        if (where == End()) {
            return XN_STATUS_ERROR;
        }
        return m_apBins[where.m_nCurrentBin]->Remove(where.m_it);
    }
    XnStatus Remove(const TKey& key) {
        Iterator it = Find(key);
        return it == End() ? XN_STATUS_ERROR : Remove(it);
    }

    Iterator Begin() {
        if (m_nMinBin == LAST_BIN) {
            return End();
        }
        Iterator it(ConstIterator(m_apBins, m_nMinBin, m_apBins[m_nMinBin]->Begin()));
        if (m_apBins[m_nMinBin]->IsEmpty()) {
            ++it;
        }
        return it;
    }
    ConstIterator Begin() const { return const_cast<Hash*>(this)->Begin(); }
    Iterator End() { return Iterator(ConstIterator(m_apBins, LAST_BIN, m_lastBin.End())); }
    ConstIterator End() const { return const_cast<Hash*>(this)->End(); }
    Iterator begin() { return Begin(); }
    Iterator end() { return End(); }
    ConstIterator begin() const { return Begin(); }
    ConstIterator end() const { return End(); }

    XnUInt32 Size() const {
        XnUInt32 n = 0;
        for (XnUInt32 i = 0; i < LAST_BIN; ++i) {
            n += m_apBins[i] ? m_apBins[i]->Size() : 0;
        }
        return n;
    }
    XnBool IsEmpty() const { return Begin() == End(); }

private:
    XnStatus Add(const TKey& key, const TValue& value) {
        XnUInt8 nBin = TKeyManager::Hash(key);
        if (m_apBins[nBin] == nullptr) {
            m_apBins[nBin] = new TPairList;
            if (nBin < m_nMinBin) {
                m_nMinBin = nBin;
            }
        }
        return m_apBins[nBin]->AddLast(TPair{key, value});
    }

    TPairList* m_apBins[NUM_BINS];
    TPairList m_lastBin;
    XnUInt32 m_nMinBin;
};

// A text-keyed table that owns a heap copy (xnOSStrDup) of each key.
template <class TValue>
class StringsHash
    : public Hash<const XnChar*, TValue, StringsKeyManager, XnStringsNodeAllocator<TValue>> {
    typedef Hash<const XnChar*, TValue, StringsKeyManager, XnStringsNodeAllocator<TValue>> Base;

public:
    XnStatus Set(const XnChar* key, const TValue& value) {
        typename Base::Iterator it = Base::Find(key);
        if (it != Base::End()) {
            it->value = value;
            return XN_STATUS_OK;
        }
        XnChar* pCopy = xnOSStrDup(key);
        if (pCopy == nullptr) {
            return XN_STATUS_ALLOC_FAILED;
        }
        return Base::Set(pCopy, value);
    }
    TValue& operator[](const XnChar* key) = delete;
};

}  // namespace xnl
