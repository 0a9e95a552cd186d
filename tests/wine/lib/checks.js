// Check helpers put in front of every JScript test by the harness.
//
// Wine's cscript prints nothing and exits 0 on an unhandled error, so every
// call that may fail runs inside check() / expectError(), which catch it:
//
//   plan(2);
//   var o;
//   check("create", function () { o = new ActiveXObject("Some.ProgID"); });
//   expectError("Fail raises", 1001, "Some text", function () { o.Fail(); });
//   finish();
//
// plan(n) comes first: a script that stops early reports fewer than n. Each
// check prints "ok - name" or "not ok - name: details"; finish() quits with
// the number of failures. An error number N of the VB style arrives as
// 0x800A0000 | N; errNumber() maps it back to N.
var checksFailed = 0;

function plan(count) {
  WScript.Echo("1.." + count);
}

function report(name, passed, details) {
  if (passed) {
    WScript.Echo("ok - " + name);
  } else {
    checksFailed++;
    WScript.Echo("not ok - " + name + ": " + details);
  }
}

function errNumber(e) {
  var n = e.number;
  if (((n >> 16) & 0xFFFF) == 0x800A) return n & 0xFFFF;
  return n;
}

function errText(e) {
  return "error " + errNumber(e) + ": " + e.description;
}

// Passes when body() neither throws nor returns false.
function check(name, body) {
  try {
    var result = body();
    report(name, result !== false, "returned false");
  } catch (e) {
    report(name, false, errText(e));
  }
}

// Passes when body() throws an error with this number and description (a
// description given as null is not compared).
function expectError(name, number, description, body) {
  try {
    body();
    report(name, false, "no error");
  } catch (e) {
    var ok = errNumber(e) == number && (description === null || e.description == description);
    report(name, ok, "got " + errText(e));
  }
}

function expectEqual(name, body, expected) {
  try {
    var actual = body();
    report(name, actual === expected, "got " + actual + ", want " + expected);
  } catch (e) {
    report(name, false, errText(e));
  }
}

function finish() {
  WScript.Quit(checksFailed);
}

