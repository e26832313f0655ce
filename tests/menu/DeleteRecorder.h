#pragma once
// Records every address given to operator delete while an instance is alive,
// so a test can count what a destruction freed. The test executable's
// replacement of the global allocation functions feeds it.

class DeleteRecorder {
  public:
    DeleteRecorder();
    ~DeleteRecorder();
    DeleteRecorder(const DeleteRecorder&) = delete;
    DeleteRecorder& operator=(const DeleteRecorder&) = delete;

    // How often the address was freed while recording, up to its next allocation.
    int CountOf(const void* address) const;
};
