#include "qebgeolib/platform/base/exception.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "qebgeolib/companion/corelib/base.h"
#include "qebgeolib/platform/base/streams.h"
#include "qebgeolib/platform/base/sysutils.h"
#include "qebgeolib/platform/controls/clipboard.h"
#include "qebgeolib/platform/controls/controls.h"
#include "qebgeolib/platform/controls/printers.h"
#include "qebgeolib/platform/controls/resources.h"
#include "qebgeolib/platform/graphics/graphics.h"

using namespace qeb;

// A caller catches every error of the framework and of the library as
// qeb::Exception and gets the message as raised.
TEST(Exception, OneRootForEveryError) {
  struct {
    std::function<void()> Raise;
    std::string Message;
  } const Cases[] = {
      {[] { throw EInOutError("open \"a\": denied", 13); }, "open \"a\": denied"},
      {[] { throw EConvertError("Cannot assign"); }, "Cannot assign"},
      {[] { throw EStreamError("seek"); }, "seek"},
      {[] { throw EReadError(); }, "Stream read error"},
      {[] { throw EWriteError(); }, "Stream write error"},
      {[] { throw EInvalidGraphic("bad"); }, "bad"},
      {[] { throw EInvalidGraphicOperation("empty"); }, "empty"},
      {[] { throw EOutOfResources("big"); }, "big"},
      {[] { throw EInvalidOperation("no parent"); }, "no parent"},
      {[] { throw EClipboardException("none"); }, "none"},
      {[] { throw EPrinter("not printing"); }, "not printing"},
      {[] { throw EResNotFound("ZOOMIN"); }, "Resource ZOOMIN not found"},
      {[] { throw EQEBError("Component \"V\": insufficient memory"); },
       "Component \"V\": insufficient memory"},
  };
  for (const auto& C : Cases) {
    std::string Caught = "nothing caught";
    try {
      C.Raise();
    } catch (const Exception& E) {
      Caught = E.what();
    } catch (...) {
      Caught = "not a qeb::Exception";
    }
    EXPECT_EQ(Caught, C.Message);
  }
}
