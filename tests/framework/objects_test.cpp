#include <gtest/gtest.h>

#include "lumora/framework/component.h"
#include "lumora/framework/list.h"
#include "lumora/framework/registry.h"
#include "lumora/framework/stream.h"
#include "lumora/framework/strings.h"

namespace lumora {
namespace {

struct Tracked : TComponent {
  Tracked(TComponent* owner, int* deaths) : TComponent(owner), deaths_(deaths) {}
  ~Tracked() override { ++*deaths_; }
  int* deaths_;
};

TEST(Component, OwnerDestroysWhatItOwns) {
  int deaths = 0;
  auto* owner = new Tracked(nullptr, &deaths);
  auto* child = new Tracked(owner, &deaths);
  new Tracked(child, &deaths);
  auto* early = new Tracked(owner, &deaths);
  EXPECT_EQ(owner->ComponentCount(), 2);
  delete early;  // leaves its owner's list
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(deaths, 1);
  delete owner;
  EXPECT_EQ(deaths, 4);
}

TEST(List, HoldsReferencesWithoutOwningThem) {
  int a = 1, b = 2;
  TList<int> list;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  EXPECT_EQ(*list.Get(1), 2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.Get(2), std::out_of_range);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream s;
  EXPECT_EQ(s.Write("abcdef", 6), 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Seek(2, TSeekOrigin::soBeginning), 2);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, 10), 4);
  EXPECT_STREQ(buf, "cdef");
  EXPECT_EQ(s.Read(buf, 10), 0);
  EXPECT_EQ(s.Seek(-1, TSeekOrigin::soBeginning), -1);
  s.SetPosition(8);  // writing past the end fills the gap
  s.Write("z", 1);
  EXPECT_EQ(s.Size(), 9);
  s.SetSize(3);
  EXPECT_EQ(s.GetPosition(), 3);
  EXPECT_EQ(std::string(s.Memory(), 3), "abc");
}

TEST(Streams, StringStreamAndCopyFrom) {
  TStringStream source("0123456789");
  TStringStream target;
  source.SetPosition(5);
  EXPECT_EQ(target.CopyFrom(source, 0), 10);  // 0: the whole source from its start
  EXPECT_EQ(target.DataString(), "0123456789");
  source.SetPosition(2);
  EXPECT_EQ(target.CopyFrom(source, 3), 3);
  EXPECT_EQ(target.DataString(), "0123456789234");
  EXPECT_EQ(target.CopyFrom(source, 100), 5);  // stops at the end of the source
}

TEST(Strings, StringListAppends) {
  TStringList list;
  TStrings& base = list;
  base.Add("one");
  base.Add("");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], "one");
}

TEST(Registry, EmptyUnlessTheHostFillsIt) {
  TRegistry::HostClear();
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.OpenKey("\\Software\\Vendor\\IDE", false));
  EXPECT_EQ(reg.ReadString("RootDir"), "");
  TRegistry::HostSetString(HKEY_LOCAL_MACHINE, "Software\\Vendor\\IDE", "RootDir", "/opt/ide");
  EXPECT_TRUE(reg.OpenKey("\\software\\vendor\\ide\\", false));
  EXPECT_EQ(reg.ReadString("rootdir"), "/opt/ide");
  EXPECT_EQ(reg.ReadString("Missing"), "");
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(reg.OpenKey("Software\\Vendor\\IDE", false));
  TRegistry::HostClear();
}

}  // namespace
}  // namespace lumora
