// One run-time library and its table of entry points.
//
// The program never links the media libraries; each is opened with dlopen and
// every function the program calls is looked up by name into a slot of that
// library's table. A table binds as a unit: either every name is found or no
// slot is kept. Bindings are used from the UI thread while loading; afterwards
// the slots are only read.
#pragma once

#include <string>
#include <type_traits>

class LibraryBinding {
 public:
  LibraryBinding(std::string versionedName, std::string plainName);
  virtual ~LibraryBinding() = default;
  LibraryBinding(const LibraryBinding&) = delete;
  LibraryBinding& operator=(const LibraryBinding&) = delete;

  // The name chosen by the versioned flag; the other one is never tried.
  std::string FileName() const;
  // Opens the library if its handle is not held yet. On failure keeps
  // "Load libraray %s error: %s" as the error text and returns false.
  bool Open();
  // Opens if needed, then looks up every name of the table in order. The first
  // missing name fails the binding with "Load function %s@%s error: %s".
  bool Bind();
  // Bind, copying the error text into errorOut when it fails.
  bool OpenAndReport(std::string& errorOut);
  // Closes the library and forgets its slots; nothing when not open.
  void Release();

  bool IsOpen() const { return Handle != nullptr; }
  bool IsBound() const { return Bound; }
  const std::string& ErrorText() const { return Error; }
  void SetUseVersionedName(bool use) { UseVersionedName = use; }

 protected:
  // Fills every slot through LookUp; false at the first missing name.
  virtual bool LookUpAll() = 0;
  virtual void ClearSlots() = 0;
  bool LookUp(const char* name, void*& slot);

 private:
  std::string VersionedName;
  std::string PlainName;
  void* Handle = nullptr;
  bool Bound = false;
  bool UseVersionedName = true;
  std::string Error;
};

// Table is a struct of function pointers with a ForEach(visitor) member that
// visits (name, slot) in table order; MELVARO_ENTRY_TABLE generates both.
template <typename Table>
class TableBinding final : public LibraryBinding {
 public:
  using LibraryBinding::LibraryBinding;
  Table Entries;

 private:
  bool LookUpAll() override {
    bool ok = true;
    Entries.ForEach([&](const char* name, auto& slot) {
      void* address = nullptr;
      if (ok && (ok = LookUp(name, address)))
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(address);
    });
    return ok;
  }
  void ClearSlots() override { Entries = Table{}; }
};

#define MELVARO_ENTRY_SLOT(name) decltype(&::name) name = nullptr;
#define MELVARO_ENTRY_VISIT(name) visit(#name, name);
#define MELVARO_ENTRY_TABLE(LIST) \
  LIST(MELVARO_ENTRY_SLOT)        \
  template <typename Visitor>     \
  void ForEach(Visitor&& visit) { \
    LIST(MELVARO_ENTRY_VISIT)     \
  }

#define MELVARO_STRINGIFY_(x) #x
#define MELVARO_STRINGIFY(x) MELVARO_STRINGIFY_(x)
