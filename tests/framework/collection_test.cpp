// The keyed collection form, on a collection of small test members: keys
// without regard to letter case, positions from 1, copying Add, the three
// error numbers. Late-bound Item and enumeration are the C interface's and
// the scripts' checks; the member list is the class reference's.
#include "tarnlow/collection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/class_builder.h"
#include "tarnlow/tarnlow.h"
#include "test_support.h"

namespace tarnlow {
namespace {

#define PIECE_PROPERTIES(X)    \
  X(Value, code, Text, GetLet) \
  X(Value, qty, Double, GetLet)

class Piece final : public Object {
 public:
  TARNLOW_PROPERTIES(Piece, PIECE_PROPERTIES)
  static const ClassInfo& Info() {
    static const ClassInfo info = detail::ClassBuilder<Piece>("Piece", "", "").Properties(Columns()).Build();
    return info;
  }
  const ClassInfo& Class() const override { return Info(); }
  void CopyFrom(const Piece& other) {
    code = other.code();
    qty = other.qty();
  }
  std::string KeyString() const { return code(); }
};
TARNLOW_DEFINE_PROPERTIES(Piece, PIECE_PROPERTIES)

class colPiece final : public Collection<colPiece, Piece> {
  TARNLOW_COLLECTION_CLASS(colPiece)
  std::shared_ptr<Piece> Add(Piece& oPiece) {
    auto copy = NewCopy(oPiece);
    return Append(copy, copy->KeyString());
  }
  // The form of the collections whose Add takes the key, empty for none.
  std::shared_ptr<Piece> AddKeyed(Piece& oPiece, const std::string& key) {
    return Append(NewCopy(oPiece), KeyUnlessEmpty(key));
  }
};
TARNLOW_DEFINE_COLLECTION(colPiece, "", "") {
  b.Method<&Self::Add>("Add", {"oPiece"}).Item().Count().Remove().ClearList().NewEnum();
}

class CollectionTest : public ::testing::Test {
 protected:
  std::shared_ptr<Piece> Add(const std::string& code, double qty = 0) {
    Piece p;
    p.code = code;
    p.qty = qty;
    return col_.Add(p);
  }
  std::vector<std::string> Codes() const {
    std::vector<std::string> out;
    for (const auto& m : col_) out.push_back(m->code());
    return out;
  }
  colPiece col_;
};

TEST_F(CollectionTest, KeysIgnoreLetterCaseAndADuplicateChangesNothing) {
  Add("AB", 1);
  test::ExpectError([&] { Add("ab", 2); }, err::DuplicateKey, {},
                    "This key is already associated with an element of this collection");
  EXPECT_EQ(col_.Count(), 1);
  EXPECT_EQ(col_.Item(Variant("aB"))->qty(), 1.0);
  EXPECT_EQ(test::CatchError([&] { col_.Item(Variant("AC")); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(test::CatchError([&] { col_.Remove(Variant("AC")); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(test::CatchError([&] { col_.Item(Variant(0)); }).Number(), err::SubscriptOutOfRange);
  EXPECT_EQ(test::CatchError([&] { col_.Remove(Variant(2)); }).Number(), err::SubscriptOutOfRange);
}

TEST_F(CollectionTest, RemovingMovesLaterEntriesDownAndKeysFollow) {
  Add("A");
  Add("B");
  Add("C");
  col_.Remove(Variant(1));
  EXPECT_EQ(col_.Item(Variant(2))->code(), "C");
  EXPECT_EQ(col_.Item(Variant("c"))->code(), "C");
  col_.Remove(Variant("B"));
  EXPECT_EQ(Codes(), std::vector<std::string>{"C"});
  // A removed key can be used again.
  Add("B");
  EXPECT_EQ(Codes(), (std::vector<std::string>{"C", "B"}));
}

TEST_F(CollectionTest, AddStoresACopyAndReturnsTheStoredMember) {
  Piece p;
  p.code = "X";
  p.qty = 1;
  auto stored = col_.Add(p);
  p.qty = 5;
  EXPECT_EQ(col_.Item(Variant(1))->qty(), 1.0);
  stored->qty = 7;
  EXPECT_EQ(col_.Item(Variant("X"))->qty(), 7.0);
  // A member a caller holds outlives the list's hold on it.
  col_.ClearList();
  EXPECT_EQ(stored->qty(), 7.0);
  EXPECT_EQ(col_.Count(), 0);
}

TEST_F(CollectionTest, EmptyKeysAreNoKeysAndReachedByPositionOnly) {
  Piece p;
  p.code = "same";
  col_.AddKeyed(p, "");
  col_.AddKeyed(p, "");
  col_.AddKeyed(p, "K");
  EXPECT_EQ(col_.Count(), 3);
  EXPECT_EQ(test::CatchError([&] { col_.Item(Variant("")); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(col_.Item(Variant("k")).get(), col_.Item(Variant(3)).get());
}

// Only the collections whose Add takes the key text store members without
// one; every other refuses an empty key as no key a member could be found by.
TEST_F(CollectionTest, AnEmptyKeyOfItsOwnIsRefusedAndChangesNothing) {
  Add("A");
  EXPECT_EQ(test::CatchError([&] { Add(""); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(Codes(), std::vector<std::string>{"A"});

  colSTUnitD units;
  clsSTUnitDD unit;
  EXPECT_EQ(test::CatchError([&] { units.Add(unit); }).Number(), err::InvalidProcedureCall);
  EXPECT_EQ(units.Count(), 0);
}

}  // namespace
}  // namespace tarnlow
