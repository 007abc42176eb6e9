// An ordered, doubly linked list of untyped item pointers with one built-in
// cursor shared by every caller of the list. The list owns its nodes, never its
// items, except when Remove or RemoveAll is asked to free them (with free()).
#pragma once

#include <cstdint>

struct CxListNode {
    void* pData;
    uint32_t nIndex;
    CxListNode* pPrev;
    CxListNode* pNext;
};

class CxList {
public:
    CxList();
    ~CxList();
    CxList(const CxList&) = delete;
    CxList& operator=(const CxList&) = delete;

    void* GetFirst();
    void* GetNext();
    bool Add(void* pItem);
    bool Remove(void* pItem, bool bFreeItem);
    void RemoveAll(bool bFreeItems);
    uint32_t GetCount() const { return m_nCount; }
    bool Contains(void* pItem) const;
    bool SetCurrent(void* pItem);

private:
    CxListNode* FindNode(void* pItem) const;
    void* GetAt(uint32_t nIndex);

    CxListNode* m_pHead;
    CxListNode* m_pTail;
    CxListNode* m_pCurr;
    uint32_t m_nCount;
    uint32_t m_nFindIndex;
};
