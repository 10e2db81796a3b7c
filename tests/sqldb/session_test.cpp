#include "sqldb/session.h"

#include <gtest/gtest.h>

#include "sqldb/error.h"
#include "sqldb/query.h"
#include "sqldb/table.h"
#include "sqldb_fixture.h"

namespace talvor::sqldb {
namespace {

using testing::ErrorText;
using testing::SqldbTest;

using SessionTest = SqldbTest;

TEST_F(SessionTest, TablesOfAnActiveSessionOpenAndShareWrites) {
  Session session("PvSession1");
  session.SetSessionName("Server");
  session.SetActive(true);
  EXPECT_TRUE(session.Active());
  Table a("tblClients", "AGYFORMS", "Customer");
  a.SetSessionName("SERVER");
  Table b("tblContact", "AGYFORMS", "Customer");
  a.Open();
  b.Open();
  a.Insert();
  a.SetString("AgyCode", "01");
  a.SetString("Number", "     1");
  a.Post();
  EXPECT_TRUE(b.Locate("AgyCode;Number", {"01", "     1"}));
}

TEST_F(SessionTest, OpeningATableActivatesItsSession) {
  Session session("PvSession1", "Server");
  Table t("tblSubmissions", "AGYFORMS", "SuspItem", "MainIdx");
  t.SetSessionName("Server");
  t.Open();
  EXPECT_TRUE(session.Active());
}

TEST_F(SessionTest, MakingTheSessionInactiveClosesItsComponents) {
  Session session("PvSession1", "Server");
  session.SetActive(true);
  Table member("tblClients", "AGYFORMS", "Customer");
  member.SetSessionName("Server");
  Query query("PvQuery1", "AGYFORMS");
  query.SetSessionName("server");
  Table other("tblAgent", "AGYFORMS", "Customer", "Index1");
  member.Open();
  query.SqlAdd("select count(*) as Ttl from Customer");
  query.Open();
  other.Open();
  member.Insert();
  member.SetString("Name", "never posted");
  session.SetActive(false);
  EXPECT_FALSE(member.IsOpen());
  EXPECT_FALSE(query.IsOpen());
  EXPECT_TRUE(other.IsOpen());
  EXPECT_EQ(member.SessionName(), "Server");
  EXPECT_EQ(Scalar("agency.db", "SELECT count(*) FROM Customer"), "0");
  member.Open();
  EXPECT_TRUE(session.Active());
}

TEST_F(SessionTest, DestroyingTheSessionClosesItsComponents) {
  Table member("tblClients", "AGYFORMS", "Customer");
  member.SetSessionName("Server");
  {
    Session session("PvSession1", "Server");
    member.Open();
  }
  EXPECT_FALSE(member.IsOpen());
  EXPECT_EQ(ErrorText([&] { member.Open(); }), "unknown session \"Server\"");
}

TEST_F(SessionTest, UnknownSessionIsAnError) {
  Table t("tblClients", "AGYFORMS", "Customer");
  t.SetSessionName("Nowhere");
  EXPECT_EQ(ErrorText([&] { t.Open(); }), "unknown session \"Nowhere\"");
  EXPECT_FALSE(t.IsOpen());
}

TEST_F(SessionTest, NameRules) {
  Session unnamed("PvSession1");
  EXPECT_EQ(ErrorText([&] { unnamed.SetActive(true); }),
            "session \"PvSession1\" has no session name");
  Session first("S1", "Server");
  Session second("S2", "SERVER");
  first.SetActive(true);
  EXPECT_EQ(ErrorText([&] { second.SetActive(true); }),
            "session name \"SERVER\" is already in use");
  EXPECT_FALSE(second.Active());
  EXPECT_EQ(ErrorText([&] { first.SetSessionName("Other"); }),
            "cannot change the session name of \"S1\" while it is active");
  first.SetActive(false);
  first.SetSessionName("Other");
  second.SetActive(true);
  EXPECT_TRUE(second.Active());
  EXPECT_EQ(first.SessionName(), "Other");
  EXPECT_EQ(first.Name(), "S1");
}

}  // namespace
}  // namespace talvor::sqldb
