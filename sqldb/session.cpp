#include "sqldb/session.h"

#include <algorithm>

#include "shell/text/text.h"
#include "sqldb/error.h"
#include "sqldb/internal/fields.h"
#include "sqldb/internal/sessions.h"

namespace talvor::sqldb {
namespace {

std::vector<Session::Impl*>& AllSessions() {
  static std::vector<Session::Impl*> sessions;
  return sessions;
}

bool SameName(std::string_view a, std::string_view b) {
  return LowerCase(a) == LowerCase(b);
}

void CloseMembers(Session::Impl& session) {
  // Closing a member detaches it, which edits the list; work on a copy.
  const std::vector<internal::SessionMember*> members = session.members;
  for (auto* member : members) member->CloseForSession();
  session.members.clear();
}

}  // namespace

Session::Session(std::string name, std::string sessionName) : impl_(std::make_unique<Impl>()) {
  impl_->name = std::move(name);
  impl_->sessionName = std::move(sessionName);
  AllSessions().push_back(impl_.get());
}

Session::~Session() {
  CloseMembers(*impl_);
  auto& all = AllSessions();
  all.erase(std::remove(all.begin(), all.end(), impl_.get()), all.end());
}

const std::string& Session::Name() const {
  return impl_->name;
}
const std::string& Session::SessionName() const {
  return impl_->sessionName;
}

void Session::SetSessionName(std::string sessionName) {
  if (impl_->active) {
    throw Error("cannot change the session name of \"" + impl_->name + "\" while it is active");
  }
  impl_->sessionName = std::move(sessionName);
}

void Session::SetActive(bool active) {
  if (active == impl_->active) return;
  if (active) {
    if (impl_->sessionName.empty()) {
      throw Error("session \"" + impl_->name + "\" has no session name");
    }
    for (const Impl* other : AllSessions()) {
      if (other != impl_.get() && other->active &&
          SameName(other->sessionName, impl_->sessionName)) {
        throw Error("session name \"" + impl_->sessionName + "\" is already in use");
      }
    }
    impl_->active = true;
  } else {
    CloseMembers(*impl_);
    impl_->active = false;
  }
}

bool Session::Active() const {
  return impl_->active;
}

namespace internal {

void SessionLink::Attach(std::string_view sessionName, SessionMember* member) {
  Detach();
  if (sessionName.empty()) return;
  Session::Impl* found = nullptr;
  for (Session::Impl* s : AllSessions()) {
    if (!SameName(s->sessionName, sessionName)) continue;
    if (s->active) {
      found = s;
      break;
    }
    if (!found) found = s;
  }
  if (!found) throw Error("unknown session \"" + std::string(sessionName) + "\"");
  found->active = true;
  found->members.push_back(member);
  session_ = found;
  member_ = member;
}

void SessionLink::Detach() {
  if (!session_) return;
  auto& members = session_->members;
  members.erase(std::remove(members.begin(), members.end(), member_), members.end());
  session_ = nullptr;
  member_ = nullptr;
}

}  // namespace internal
}  // namespace talvor::sqldb
