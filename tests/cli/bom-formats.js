// The string formats the CycloneDX schema uses: ajv-formats knows most; the two
// internationalised ones it lacks are checked as loosely as their plain forms would be.
const addFormats = require('ajv-formats');

module.exports = (ajv) => {
  addFormats(ajv);
  ajv.addFormat('iri-reference', /^[^\s]*$/u);
  ajv.addFormat('idn-email', /^[^\s@]+@[^\s@]+$/u);
  return ajv;
};
