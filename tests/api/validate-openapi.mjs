// Validates an OpenAPI 3.1 document: the document against the official OpenAPI schema
// (@seriousme/openapi-schema-validator, which also resolves every $ref), then what that schema
// leaves open: each Schema Object compiled by Ajv in strict JSON Schema 2020-12 mode (unknown
// keywords and types fail), and each templated path's parameters declared.
// Usage: node validate-openapi.mjs <node_modules dir> <document.json>
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";

const [modules, file] = process.argv.slice(2);
const require = createRequire(`${modules}/`);
const { Validator } = await import(require.resolve("@seriousme/openapi-schema-validator"));
const Ajv2020 = require("ajv/dist/2020").default;

const validator = new Validator();
const result = await validator.validate(file);
if (!result.valid) {
    console.error(`${file}: not a valid OpenAPI document`);
    console.error(JSON.stringify(result.errors, null, 2));
    process.exit(1);
}

const failures = [];
const text = readFileSync(file, "utf8");
const doc = JSON.parse(text.replaceAll('"#/components/schemas/', '"components.json#/$defs/'));
const ajv = new Ajv2020({ strict: true, formats: { "date-time": true, uuid: true } });
ajv.addVocabulary(["example"]); // OpenAPI's own (deprecated but valid) keyword
const compile = (where, schema) => {
    try {
        ajv.compile(schema);
    } catch (error) {
        failures.push(`${where}: ${error.message}`);
    }
};
try {
    ajv.addSchema({ $id: "components.json", $defs: doc.components?.schemas ?? {} });
} catch (error) {
    failures.push(`components/schemas: ${error.message}`);
}
for (const name of Object.keys(doc.components?.schemas ?? {}))
    compile(`components/schemas/${name}`, { $ref: `components.json#/$defs/${name}` });

const methods = ["get", "put", "post", "delete", "options", "head", "patch", "trace"];
for (const [path, item] of Object.entries(doc.paths ?? {})) {
    const templated = [...path.matchAll(/\{([^}]+)\}/g)].map((m) => m[1]).sort();
    for (const method of methods.filter((m) => item[m])) {
        const operation = item[method];
        const where = `${method.toUpperCase()} ${path}`;
        const parameters = [...(item.parameters ?? []), ...(operation.parameters ?? [])];
        const declared = parameters.filter((p) => p.in === "path").map((p) => p.name).sort();
        if (declared.join() !== templated.join())
            failures.push(`${where}: path parameters [${declared}] do not match the template [${templated}]`);
        for (const p of parameters) compile(`${where} parameter ${p.name}`, p.schema);
        for (const [type, media] of Object.entries(operation.requestBody?.content ?? {}))
            compile(`${where} request ${type}`, media.schema);
        for (const [status, reply] of Object.entries(operation.responses ?? {}))
            for (const [type, media] of Object.entries(reply.content ?? {}))
                compile(`${where} ${status} ${type}`, media.schema);
    }
}
if (failures.length) {
    console.error(`${file}: invalid schemas or parameters`);
    console.error(failures.join("\n"));
    process.exit(1);
}
console.log(`${file}: valid OpenAPI ${validator.version}`);
