// Intrusive doubly linked lists of reference-counted items.
//
// A node holds one reference on its item for each reference the node itself
// holds. A list link is one node reference; the same item may be linked into
// several lists, each link with its own reference.
#pragma once

#include "platform/CString.h"
#include "platform/WinTypes.h"

template <class T>
class SimpleNode final {
 public:
  explicit SimpleNode(T* item) : m_Item(item) {
    if (item) m_NodeName = item->GetName();
  }
  SimpleNode(const SimpleNode&) = delete;
  SimpleNode& operator=(const SimpleNode&) = delete;

  void AddRef() {
    ++m_RefCount;
    if (m_Item) m_Item->AddRef();
  }

  // Gives back one node reference and one item reference; the node deletes
  // itself when its own count reaches 0.
  void Release() {
    --m_RefCount;
    if (m_Item) m_Item->Release();
    if (m_RefCount < 0) m_RefCount = 0;
    if (m_RefCount == 0) delete this;
  }

  LONG& RefCount() { return m_RefCount; }
  SimpleNode*& Next() { return m_Next; }
  SimpleNode*& Prev() { return m_Prev; }
  void SetNext(SimpleNode* n) { m_Next = n; }
  void SetPrev(SimpleNode* p) { m_Prev = p; }

  virtual const T* Node() const { return m_Item; }
  virtual T* Node() { return m_Item; }
  virtual void SetNodeName(const CString& name) { m_NodeName = name; }
  virtual const CString& GetNodeName() const { return m_NodeName; }

 private:
  ~SimpleNode() = default;  // only Release() deletes a node

  SimpleNode* m_Next = nullptr;
  SimpleNode* m_Prev = nullptr;
  LONG m_RefCount = 0;
  T* m_Item = nullptr;
  CString m_NodeName;
};

template <class T>
class SimpleList {
 public:
  using Node = SimpleNode<T>;

  SimpleList() = default;
  SimpleList(const SimpleList&) = delete;
  SimpleList& operator=(const SimpleList&) = delete;

  // Releases every node once. The chain is detached before the first
  // release, so item destructors that look at this list see it empty.
  virtual ~SimpleList() { ReleaseChain(Detach()); }

  // Same as the destructor, leaving an empty list.
  void Clean() { ReleaseChain(Detach()); }

  // Appends a new node for `item` (one node and one item reference). The
  // cursor goes to the head. A null item is refused: returns null.
  Node* AddBottom(T* item) {
    if (!item) return nullptr;
    Node* node = new Node(item);
    node->AddRef();
    node->SetPrev(m_Tail);
    if (m_Tail) m_Tail->SetNext(node);
    m_Tail = node;
    if (!m_Head) m_Head = node;
    m_Current = m_Head;
    ++m_Count;
    return node;
  }

  // Inserts a new node before the head; the cursor goes to the new node.
  Node* AddTop(T* item) {
    if (!item) return nullptr;
    Node* node = new Node(item);
    node->AddRef();
    node->SetNext(m_Head);
    if (m_Head) m_Head->SetPrev(node);
    m_Head = node;
    if (!m_Tail) m_Tail = node;
    m_Current = node;
    ++m_Count;
    return node;
  }

  // Unlinks the head and gives back the list's reference on it. A caller
  // that needs the node afterwards takes its own reference first. Returns the
  // former head (which may already be deleted if nobody else held it).
  Node* RemTop() {
    Node* node = m_Head;
    if (!node) return nullptr;
    m_Head = node->Next();
    if (m_Head) m_Head->SetPrev(nullptr);
    if (m_Tail == node) m_Tail = nullptr;
    node->SetNext(nullptr);
    node->SetPrev(nullptr);
    m_Current = m_Head;
    --m_Count;
    node->Release();
    return node;
  }

  Node* Find(const T* item) const {
    for (Node* n = m_Head; n; n = n->Next())
      if (n->Node() == item) return n;
    return nullptr;
  }

  // A node with two or more references only gives one back and stays
  // linked; otherwise it is unlinked and released.
  void Remove(const T* item) {
    if (!m_Head) return;
    Node* node = Find(item);
    if (node) Remove(node);
  }

  void Remove(Node* node) {
    if (!node || !m_Head) return;
    if (node->RefCount() >= 2) {
      node->Release();
      return;
    }
    Unlink(node);
    node->Release();
    m_Current = m_Head;
  }

  // Null for index < 0, index > Count() or when the list ends first.
  Node* GetAt(long index) const {
    if (index < 0 || index > m_Count) return nullptr;
    Node* n = m_Head;
    for (long i = 0; n && i < index; ++i) n = n->Next();
    return n;
  }

  long Index(const T* item) const {
    if (!item) return -1;
    long i = 0;
    for (Node* n = m_Head; n; n = n->Next(), ++i)
      if (n->Node() == item) return i;
    return -1;
  }

  Node* GoTop() {
    m_Current = m_Head;
    return m_Head;
  }
  Node* Head() const { return m_Head; }
  Node* Tail() const { return m_Tail; }
  Node* Current() const { return m_Current; }
  LONG Count() const { return m_Count; }

 private:
  void Unlink(Node* node) {
    if (node->Prev())
      node->Prev()->SetNext(node->Next());
    else
      m_Head = node->Next();
    if (node->Next())
      node->Next()->SetPrev(node->Prev());
    else
      m_Tail = node->Prev();
    node->SetNext(nullptr);
    node->SetPrev(nullptr);
    --m_Count;
  }

  Node* Detach() {
    Node* head = m_Head;
    m_Head = m_Tail = m_Current = nullptr;
    m_Count = 0;
    return head;
  }

  static void ReleaseChain(Node* node) {
    while (node) {
      Node* next = node->Next();
      node->SetNext(nullptr);
      node->SetPrev(nullptr);
      node->Release();
      node = next;
    }
  }

  Node* m_Head = nullptr;
  Node* m_Tail = nullptr;
  Node* m_Current = nullptr;
  LONG m_Count = 0;
};
