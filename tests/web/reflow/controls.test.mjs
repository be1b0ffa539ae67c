// The page's own controls: the typography the reader sets at the top (sent
// whole to be saved) and the enlarged view of a cut-out.
import { test } from "node:test";
import assert from "node:assert/strict";
import { TYPOGRAPHY_DEFAULTS, TYPOGRAPHY_KEYS, typographyValues, stepTypography } from "../../../web/reflow/service.js";
import { zoomAbout } from "../../../web/reflow/figures.js";

test("the typography sent to be saved is always the seven keys, each valid", () => {
  assert.deepEqual(Object.keys(typographyValues({ fontSize: 18, query: "x", event: "typography" })), TYPOGRAPHY_KEYS);
  assert.deepEqual(typographyValues({}), TYPOGRAPHY_DEFAULTS);
  const odd = typographyValues({ fontSize: 100, leading: NaN, width: "wide", face: "Sans", alignment: "justify", indent: 1, paragraphSpacing: -2 });
  assert.deepEqual(odd, { fontSize: 32, leading: 1.75, width: 760, face: "serif", alignment: "justify", paragraphSpacing: 0, indent: false });
});

test("a control's steps stay on their grid and stop at the range's ends", () => {
  assert.equal(stepTypography(TYPOGRAPHY_DEFAULTS, "fontSize", 1).fontSize, 21);
  assert.equal(stepTypography({ fontSize: 32 }, "fontSize", 1).fontSize, 32);
  assert.equal(stepTypography({ fontSize: 14.4 }, "fontSize", -1).fontSize, 14);
  let s = TYPOGRAPHY_DEFAULTS;
  for (let i = 0; i < 3; i++) s = stepTypography(s, "leading", -1);
  assert.equal(s.leading, 1.6);
  assert.equal(stepTypography({ width: 1040 }, "width", 1).width, 1040);
  assert.equal(stepTypography({ width: 760 }, "width", -1).width, 720);
  // Stepping one value leaves the others as they were.
  const sans = stepTypography({ ...TYPOGRAPHY_DEFAULTS, face: "sans", indent: true }, "paragraphSpacing", 1);
  assert.deepEqual(sans, { ...TYPOGRAPHY_DEFAULTS, face: "sans", indent: true, paragraphSpacing: 0.7 });
});

test("zooming an enlarged cut-out keeps the point under the fingers in place, within its scale", () => {
  const view = { scale: 1, x: 100, y: 50 };
  const z = zoomAbout(view, 2, 300, 250);
  assert.equal(z.scale, 2);
  // The image point under (300, 250) before is under it after.
  assert.deepEqual([(300 - view.x) / view.scale, (250 - view.y) / view.scale], [(300 - z.x) / z.scale, (250 - z.y) / z.scale]);
  assert.equal(zoomAbout(z, 100, 0, 0).scale, 8);
  assert.deepEqual(zoomAbout(view, 0.1, 300, 250), { scale: 1, x: 100, y: 50 });
  assert.equal(zoomAbout(view, NaN, 0, 0).scale, 1);
});
