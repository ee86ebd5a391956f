// The framework's linked vector: an ordered, singly linked list of elements that it does not own.
// AddElement, ElementAt and DeleteElementAt take the vector's lock (its address in the lock list) for
// the one call; walking the nodes afterwards and GetNthElement take none.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "logging/log_core.h"

template <typename T>
struct VectorNode {
  T* data = nullptr;  // not owned
  VectorNode* next = nullptr;
};

template <typename T>
struct Vector {
  VectorNode<T>* head = nullptr;
  int32_t count = 0;
  VectorNode<T>* tail = nullptr;

  Vector() = default;
  Vector(const Vector&) = delete;
  Vector& operator=(const Vector&) = delete;
  ~Vector() { FreeNodes(); }

  // Frees every node (never the data) and leaves the vector empty.
  void FreeNodes() {
    while (head) {
      VectorNode<T>* next = head->next;
      delete head;
      head = next;
    }
    tail = nullptr;
    count = 0;
  }
};

template <typename T>
void InitVector(Vector<T>& vector) {
  LogTrace("\n\t@@@@@ Inside InitVector() @@@@@ \n");
  vector.FreeNodes();
}

// Appends the node (the vector takes it over) at the tail; returns 1.
template <typename T>
int AddElement(Vector<T>& vector, std::unique_ptr<VectorNode<T>> node) {
  LogTrace("\n\t@@@@@ Inside AddElement() @@@@@ \n");
  LockObject(&vector);
  VectorNode<T>* added = node.release();
  added->next = nullptr;
  if (vector.tail) {
    vector.tail->next = added;
  } else {
    vector.head = added;
  }
  vector.tail = added;
  ++vector.count;
  UnlockObject(&vector);
  return 1;
}

// Appends a new node for data; 1, or 0 when the node cannot be allocated.
template <typename T>
int AddElementData(Vector<T>& vector, T* data) {
  std::unique_ptr<VectorNode<T>> node(new (std::nothrow) VectorNode<T>);
  if (!node) return 0;
  node->data = data;
  return AddElement(vector, std::move(node));
}

// The node at position (from 0), or none when the position is out of range.
template <typename T>
VectorNode<T>* ElementAt(Vector<T>& vector, int32_t position) {
  LogTrace("\n\t@@@@@ Inside ElementAt() @@@@@ \n");
  LockObject(&vector);
  VectorNode<T>* node = nullptr;
  if (position >= 0 && position < vector.count) {
    node = vector.head;
    for (int32_t i = 0; node && i < position; ++i) node = node->next;
  }
  UnlockObject(&vector);
  return node;
}

// The node n steps after start, without locking; none when n is negative or not below count, the
// vector is empty, or the chain ends first.
template <typename T>
VectorNode<T>* GetNthElement(const Vector<T>& vector, int32_t n, VectorNode<T>* start) {
  LogTrace("\n\t@@@@@ Inside GetNthElement() @@@@@ \n");
  if (n < 0 || n >= vector.count || !vector.head) return nullptr;
  VectorNode<T>* node = start;
  for (int32_t i = 0; node && i < n; ++i) node = node->next;
  return node;
}

// Unlinks and frees the node at position; 1, or 0 when the position is out of range.
template <typename T>
int DeleteElementAt(Vector<T>& vector, int32_t position) {
  LogTrace("\n\t@@@@@ Inside DeleteElementAt() @@@@@ \n");
  LockObject(&vector);
  if (position < 0 || position >= vector.count || !vector.head) {
    UnlockObject(&vector);
    return 0;
  }
  VectorNode<T>* previous = nullptr;
  VectorNode<T>* node = vector.head;
  for (int32_t i = 0; i < position; ++i) {
    previous = node;
    node = node->next;
  }
  (previous ? previous->next : vector.head) = node->next;
  if (vector.tail == node) vector.tail = previous;
  --vector.count;
  delete node;
  UnlockObject(&vector);
  return 1;
}

// Deletes the first node whose data is that very address; true when one was deleted.
template <typename T>
bool DeleteLCDVector(Vector<T>& vector, const T* data) {
  LogTrace("\n\t@@@@@ Inside DeleteLCDVector() @@@@@ \n");
  int32_t position = 0;
  for (VectorNode<T>* node = ElementAt(vector, 0); node; node = node->next, ++position) {
    if (node->data == data) return DeleteElementAt(vector, position) == 1;
  }
  return false;
}
