// The page and the native side make the same of every typography value the
// page may send: clamped into the same ranges, wrong kinds replaced by the
// same defaults. The native side's answers for the cases are written by
// CTest (write-typography-answers) and named by FOLVAN_TYPOGRAPHY_ANSWERS.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { typographyValues } from "../../../web/reflow/service.js";

const answersFile = process.env.FOLVAN_TYPOGRAPHY_ANSWERS;
const skip = answersFile ? false : "FOLVAN_TYPOGRAPHY_ANSWERS names no file (CTest writes it)";

test("typography values are normalized the same on the page and on the native side", { skip }, () => {
  const cases = JSON.parse(readFileSync(new URL("./typography-cases.json", import.meta.url), "utf8"));
  const answers = JSON.parse(readFileSync(answersFile, "utf8"));
  assert.equal(answers.length, cases.length);
  cases.forEach((given, i) => assert.deepEqual(typographyValues(given), answers[i], JSON.stringify(given)));
});
