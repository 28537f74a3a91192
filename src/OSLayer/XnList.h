#pragma once

// xnl::List: a circular doubly linked list with an embedded anchor node. The
// anchor is the end position; every element lives in its own heap node.

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

namespace xnl {

template <class T>
struct LinkedNode {
    LinkedNode* pPrev;
    LinkedNode* pNext;
    T value;
};

// Nodes on the heap; deleting a node destroys its value (a pointer value is
// not followed).
template <class T>
struct LinkedNodeDefaultAllocator {
    typedef LinkedNode<T> TLinkedNode;
    static TLinkedNode* Allocate(const T& value) { return new TLinkedNode{nullptr, nullptr, value}; }
    static void Deallocate(TLinkedNode* pNode) { delete pNode; }
};

template <class T, class TAlloc = LinkedNodeDefaultAllocator<T>>
class List {
public:
    typedef LinkedNode<T> TLinkedNode;

    class ConstIterator {
    public:
        ConstIterator() : m_pCurrent(nullptr) {}
        explicit ConstIterator(TLinkedNode* pNode) : m_pCurrent(pNode) {}
        ConstIterator& operator++() { m_pCurrent = m_pCurrent->pNext; return *this; }
        ConstIterator operator++(int) { ConstIterator old(*this); ++*this; return old; }
        ConstIterator& operator--() { m_pCurrent = m_pCurrent->pPrev; return *this; }
        bool operator==(const ConstIterator& other) const { return m_pCurrent == other.m_pCurrent; }
        bool operator!=(const ConstIterator& other) const { return m_pCurrent != other.m_pCurrent; }
        const T& operator*() const { return m_pCurrent->value; }
        const T* operator->() const { return &m_pCurrent->value; }
        TLinkedNode* GetNode() const { return m_pCurrent; }

    protected:
        TLinkedNode* m_pCurrent;
    };

    class Iterator : public ConstIterator {
    public:
        Iterator() {}
        explicit Iterator(TLinkedNode* pNode) : ConstIterator(pNode) {}
        Iterator& operator++() { ConstIterator::operator++(); return *this; }
        Iterator operator++(int) { Iterator old(*this); ++*this; return old; }
        T& operator*() const { return this->m_pCurrent->value; }
        T* operator->() const { return &this->m_pCurrent->value; }
    };

    List() : m_anchor(), m_nSize(0) {
        m_anchor.pPrev = &m_anchor;
        m_anchor.pNext = &m_anchor;
    }
    virtual ~List() { Clear(); }
    List(const List&) = delete;
    List& operator=(const List&) = delete;

    // Adds value before the anchor.
    XnStatus AddLast(const T& value) { return InsertBefore(&m_anchor, value); }
    XnStatus AddFirst(const T& value) { return InsertBefore(m_anchor.pNext, value); }

    // Unlinks and releases the node at where (which must not be End()).
    XnStatus Remove(ConstIterator where) {
        TLinkedNode* pNode = where.GetNode();
        if (pNode == nullptr || pNode == &m_anchor) {
            return XN_STATUS_ERROR;
        }
        pNode->pPrev->pNext = pNode->pNext;
        pNode->pNext->pPrev = pNode->pPrev;
        TAlloc::Deallocate(pNode);
        --m_nSize;
        return XN_STATUS_OK;
    }

    // Removes the first element equal to value; an error when there is none.
    XnStatus Remove(const T& value) {
        ConstIterator it = Find(value);
        return it == End() ? XN_STATUS_ERROR : Remove(it);
    }

    XnStatus Clear() {
        while (m_nSize != 0) {
            Remove(ConstIterator(m_anchor.pNext));
        }
        return XN_STATUS_OK;
    }

    Iterator Begin() { return Iterator(m_anchor.pNext); }
    ConstIterator Begin() const { return ConstIterator(m_anchor.pNext); }
    Iterator End() { return Iterator(&m_anchor); }
    ConstIterator End() const { return ConstIterator(const_cast<TLinkedNode*>(&m_anchor)); }
    Iterator begin() { return Begin(); }
    Iterator end() { return End(); }
    ConstIterator begin() const { return Begin(); }
    ConstIterator end() const { return End(); }

    Iterator Find(const T& value) {
        for (TLinkedNode* p = m_anchor.pNext; p != &m_anchor; p = p->pNext) {
            if (p->value == value) {
                return Iterator(p);
            }
        }
        return End();
    }
    ConstIterator Find(const T& value) const { return const_cast<List*>(this)->Find(value); }

    XnUInt32 Size() const { return m_nSize; }
    XnBool IsEmpty() const { return m_nSize == 0; }

private:
    XnStatus InsertBefore(TLinkedNode* pWhere, const T& value) {
        TLinkedNode* pNode = TAlloc::Allocate(value);
        if (pNode == nullptr) {
            return XN_STATUS_ALLOC_FAILED;
        }
        pNode->pNext = pWhere;
        pNode->pPrev = pWhere->pPrev;
        pWhere->pPrev->pNext = pNode;
        pWhere->pPrev = pNode;
        ++m_nSize;
        return XN_STATUS_OK;
    }

    TLinkedNode m_anchor;
    XnUInt32 m_nSize;
};

}  // namespace xnl
