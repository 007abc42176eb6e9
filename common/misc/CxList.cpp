#include "CxList.h"

#include "CxAssert.h"

#include <cstdlib>
#include <new>

CxList::CxList()
    : m_pHead(nullptr), m_pTail(nullptr), m_pCurr(nullptr), m_nCount(0), m_nFindIndex(0) {}

CxList::~CxList() {
    RemoveAll(false);
}

void* CxList::GetFirst() {
    m_nFindIndex = 0;
    m_pCurr = m_pHead;
    return m_pHead ? m_pHead->pData : nullptr;
}

void* CxList::GetNext() {
    // Unsigned on purpose: for an empty list m_nCount - 1 wraps and GetAt(1)
    // answers null at its range check.
    if (m_nFindIndex < m_nCount - 1)
        return GetAt(m_nFindIndex + 1);
    return nullptr;
}

void* CxList::GetAt(uint32_t nIndex) {
    if (nIndex >= m_nCount)
        return nullptr;
    // clang-format off
    CX_ASSERT(m_pCurr->nIndex==m_nFindIndex);
    // clang-format on
    CxListNode* pNode = m_pCurr;
    // The direction comes from the old cursor position at every step, so the
    // walk keeps going one way.
    while (pNode->nIndex != nIndex)
        pNode = (nIndex > m_nFindIndex) ? pNode->pNext : pNode->pPrev;
    m_pCurr = pNode;
    m_nFindIndex = nIndex;
    return pNode->pData;
}

bool CxList::Add(void* pItem) {
    if (!pItem)
        return false;
    CxListNode* pContainer = new (std::nothrow) CxListNode;
    CX_ASSERT(pContainer);
    pContainer->pData = pItem;
    pContainer->nIndex = m_nCount;
    pContainer->pNext = nullptr;
    pContainer->pPrev = m_pTail;
    if (!m_pHead) {
        m_pHead = m_pTail = m_pCurr = pContainer;
    } else {
        m_pTail->pNext = pContainer;
        m_pTail = pContainer;
        m_pCurr = pContainer;
        m_nFindIndex = pContainer->nIndex;
    }
    ++m_nCount;
    return true;
}

bool CxList::Remove(void* pItem, bool bFreeItem) {
    CxListNode* pNode = FindNode(pItem);
    if (!pNode)
        return false;
    if (pNode->pPrev)
        pNode->pPrev->pNext = pNode->pNext;
    if (pNode->pNext)
        pNode->pNext->pPrev = pNode->pPrev;
    for (CxListNode* p = pNode->pNext; p; p = p->pNext)
        --p->nIndex;
    // The cursor moves to the follower, which now has the removed node's place.
    m_pCurr = pNode->pNext;
    m_nFindIndex = pNode->nIndex;
    if (pNode == m_pHead)
        m_pHead = pNode->pNext;
    if (pNode == m_pTail)
        m_pTail = pNode->pPrev;
    if (bFreeItem)
        std::free(pNode->pData);
    --m_nCount;
    delete pNode;
    return true;
}

void CxList::RemoveAll(bool bFreeItems) {
    CxListNode* pNode = m_pHead;
    while (pNode) {
        CxListNode* pNext = pNode->pNext;
        if (bFreeItems && pNode->pData)
            std::free(pNode->pData);
        delete pNode;
        pNode = pNext;
    }
    m_pHead = m_pTail = m_pCurr = nullptr;
    m_nCount = 0;
    m_nFindIndex = 0;
}

bool CxList::Contains(void* pItem) const {
    return pItem && FindNode(pItem);
}

bool CxList::SetCurrent(void* pItem) {
    CxListNode* pNode = FindNode(pItem);
    if (!pNode)
        return false;
    m_pCurr = pNode;
    m_nFindIndex = pNode->nIndex;
    return true;
}

CxListNode* CxList::FindNode(void* pItem) const {
    for (CxListNode* p = m_pHead; p; p = p->pNext)
        if (p->pData == pItem)
            return p;
    return nullptr;
}
