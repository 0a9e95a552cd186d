// The harness's own check for JScript clients.
plan(5);
var dict;
check("create Scripting.Dictionary", function () {
  dict = new ActiveXObject("Scripting.Dictionary");
});
check("Add a new key", function () { dict.Add("a", 1); });
expectEqual("Item reads back the value", function () { return dict.Item("a"); }, 1);
expectError("Add of a key that exists raises 457", 457, null, function () { dict.Add("a", 2); });
expectError("unknown ProgID raises 429", 429, null, function () {
  new ActiveXObject("No.Such.ProgID");
});
finish();
