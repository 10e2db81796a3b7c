// Session: a named group of table and query components.
//
// A component whose session name is not empty belongs to the session of that name (matched
// without regard to case): opening it makes that session active, and making the session
// inactive closes it. Components with an empty session name belong to the default session,
// which is always active. Every component of one database file, in any session, shares one
// connection, so that each sees the others' writes at once.
// Single-threaded, like every component of this layer.
#pragma once

#include <memory>
#include <string>

namespace talvor::sqldb {

class Session {
 public:
  // `name` is the component's own name (for messages); `sessionName` the session's name.
  explicit Session(std::string name = "", std::string sessionName = "");
  // Closes the components that belong to this session.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const std::string& Name() const;
  const std::string& SessionName() const;
  // Throws Error while the session is active.
  void SetSessionName(std::string sessionName);

  // Making the session active throws Error when its session name is empty or another
  // active session has the same name. Making it inactive closes every component that
  // belongs to it (an edit in progress is discarded); their settings stay.
  void SetActive(bool active);
  bool Active() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace talvor::sqldb
