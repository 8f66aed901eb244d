#include "runtime/CountedRef.h"

#include <gtest/gtest.h>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/ObjectHandle.h"
#include "runtime/ValueStore.h"

namespace runtime {
namespace {

struct Tracked {
  explicit Tracked(int* destroyedCount) : destroyed(destroyedCount) {}
  ~Tracked() { ++*destroyed; }
  uint32_t refCount = 1;
  int* destroyed;
};

using TrackedRef = CountedRef<Tracked>;

class CountedRefTest : public ::testing::Test {
 protected:
  Tracked* NewTracked() { return NewObject<Tracked>(&context, &destroyed); }
  LibraryContext context;
  int destroyed = 0;
};

TEST_F(CountedRefTest, ThrowPassingAHolderReleasesItExactlyOnce) {
  Tracked* target = NewTracked();
  TrackedRef owner = TrackedRef::Adopt(&context, target);
  ErrorTrap trap;
  const bool finished = trap.Run([&] {
    TrackedRef first = owner;
    TrackedRef second(first);
    EXPECT_EQ(target->refCount, 3u);
    ThrowRuntime(kMalformed);
  });
  ASSERT_FALSE(finished);
  trap.SetHandled();
  trap.Close();
  // Both copies gave their count back once: in their cleanups, and not
  // again in their destructors.
  EXPECT_EQ(target->refCount, 1u);
  EXPECT_EQ(destroyed, 0);
  owner.Release();
  EXPECT_EQ(destroyed, 1);
  owner.Release();
  EXPECT_EQ(destroyed, 1);
}

TEST_F(CountedRefTest, LastHolderDestroysAndSelfAssignmentKeeps) {
  const uint64_t before = context.memory.bytesInUse;
  {
    TrackedRef a = TrackedRef::Adopt(&context, NewTracked());
    TrackedRef& same = a;
    a = same;
    EXPECT_EQ(a->refCount, 1u);
    TrackedRef b;
    b = a;
    EXPECT_EQ(a->refCount, 2u);
    TrackedRef c(std::move(b));
    EXPECT_FALSE(b);
    EXPECT_EQ(c->refCount, 2u);
    a = std::move(c);
    EXPECT_EQ(a->refCount, 1u);
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(context.memory.bytesInUse, before);
}

TEST_F(CountedRefTest, HandleCopiedThenThrownLeavesStoreCountAsBefore) {
  StoreRef store = StoreRef::Adopt(&context, ValueStore::New(&context));
  const ObjectValue name = store->Name("Key");
  ObjectHandle handle(&context, &name, store.Get());
  EXPECT_EQ(store->refCount, 2u);
  ErrorTrap trap;
  ASSERT_FALSE(trap.Run([&] {
    ObjectHandle copy(handle);
    ObjectHandle typed = copy.AsName();
    EXPECT_EQ(store->refCount, 4u);
    typed.AsDictionary();
  }));
  trap.SetHandled();
  trap.Close();
  EXPECT_EQ(store->refCount, 2u);

  ObjectHandle other;
  ObjectHandle::Swap(handle, other);
  EXPECT_TRUE(handle.IsNull());
  EXPECT_EQ(other->AsName().View(), "Key");
  ObjectHandle& same = other;
  other = same;
  EXPECT_EQ(store->refCount, 2u);
  // The last reference to the store frees it and every value in it.
  store.Release();
  EXPECT_EQ(other->AsName().View(), "Key");
  other.Release();
  EXPECT_EQ(context.memory.bytesInUse, 0u);
}

}  // namespace
}  // namespace runtime
