#pragma once
// A stand-in for the desktop's file manager on a private session bus: it
// owns org.freedesktop.FileManager1 and records the URIs of every ShowItems
// call. Tests that need it run on a private bus (support/private_session_bus.h).

#include <memory>
#include <string>
#include <vector>

namespace velumar::sessiontest {

class FakeFileManager {
 public:
  // Serves the name on its own thread until destroyed.
  FakeFileManager();
  ~FakeFileManager();
  bool serving() const;
  // The URI lists of the calls so far.
  std::vector<std::vector<std::string>> calls() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velumar::sessiontest
