// CWorkbench.DEVOVIZoruze from JScript: numbers and text as ids, and the
// store functions' errors caught with try/catch, in CHS.
// Needs WB_SUITE_SCENARIO = scenarios/errors_chs.json.
plan(12);
var prefix = "\u8C03\u7528\u95E8\u5E97\u51FD\u6570\u51FA\u9519\u3002\u539F\u56E0\uFF1A";
var o = null;
check("create Workbench.CWorkbench", function () {
  o = new ActiveXObject("Workbench.CWorkbench");
});

expectError(kLoyaltyPlan + " raises the component's error behind the prefix", 1234,
    prefix + "\u79EF\u5206\u65B9\u6848\u4E0D\u53EF\u7528", function () {
      o.DEVOVIZoruze(kLoyaltyPlan);
    });

// The five fields as JScript sees them (no help fields in its error object):
// number and description, and the source through the error's message.
try {
  o.DEVOVIZoruze(kReceiptRoll);
  report(kReceiptRoll + " raises", false, "no error");
} catch (e) {
  report(kReceiptRoll + " raises number 5", errNumber(e) == 5, "got " + errText(e));
  report(kReceiptRoll + " description is the prefix alone", e.description == prefix,
      "got " + e.description);
}

expectError("text \"" + kLoyaltyPlan + "\" is converted and runs the same function", 1234, null,
    function () { o.DEVOVIZoruze(String(kLoyaltyPlan)); });
expectError("a double " + kLoyaltyPlan + ".0 runs the same function", 1234, null, function () {
  o.DEVOVIZoruze(kLoyaltyPlan * 1.0);
});
expectError("an HRESULT number arrives as it is", -2147467259, null, function () {
  o.DEVOVIZoruze(kMemberLookup);
});

check("1800501 does nothing", function () { o.DEVOVIZoruze(1800501); });
check("0 does nothing", function () { o.DEVOVIZoruze(0); });
check("-1 does nothing", function () { o.DEVOVIZoruze(-1); });
// JScript shows the dispatch failures as their HRESULTs.
expectError("text that is no number: DISP_E_TYPEMISMATCH", -2147352571, null, function () {
  o.DEVOVIZoruze("abc");
});
expectError("no argument: DISP_E_BADPARAMCOUNT", -2147352562, null, function () {
  o.DEVOVIZoruze();
});
o = null;
finish();
