// A file of its own, not inline: the page's Content-Security-Policy runs scripts of the app's origin only.
// The document comes from the origin the page was opened under (127.0.0.1 or localhost), which
// needs no cross-origin read.
window.onload = () => {
  window.ui = SwaggerUIBundle({
    url: "/v1/openapi.json",
    dom_id: "#swagger-ui",
    deepLinking: true,
    presets: [SwaggerUIBundle.presets.apis],
    layout: "BaseLayout"
  });
};
