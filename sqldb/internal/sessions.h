// Private to sqldb: how components attach to sessions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sqldb/session.h"

namespace talvor::sqldb {

namespace internal {

// A component that a session can close.
class SessionMember {
 public:
  virtual void CloseForSession() = 0;

 protected:
  ~SessionMember() = default;
};

// A component's membership of a named session, from its Open to its Close.
class SessionLink {
 public:
  SessionLink() = default;
  ~SessionLink() { Detach(); }
  SessionLink(const SessionLink&) = delete;
  SessionLink& operator=(const SessionLink&) = delete;

  // Joins the session named `sessionName`, making it active when it is not. An empty name
  // joins the default session (nothing to do). Throws Error `unknown session "X"` when no
  // session of that name exists.
  void Attach(std::string_view sessionName, SessionMember* member);
  void Detach();

 private:
  Session::Impl* session_ = nullptr;
  SessionMember* member_ = nullptr;
};

}  // namespace internal

struct Session::Impl {
  std::string name;
  std::string sessionName;
  bool active = false;
  std::vector<internal::SessionMember*> members;
};

}  // namespace talvor::sqldb
