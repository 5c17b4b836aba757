#include "fetchshim.h"

#include <QWebEngineScript>

namespace {
// The metadata block limits the script to the scheme's own pages.
constexpr char source[] = R"js(// ==UserScript==
// @name corvane-fetch
// @include corvane://content/*
// ==/UserScript==
(() => {
  'use strict';
  const nativeFetch = window.fetch;
  const aborted = () => new DOMException('The user aborted a request.', 'AbortError');
  const headersOf = (text) => {
    const headers = new Headers();
    for (const line of text.split(/\r?\n/)) {
      const colon = line.indexOf(':');
      if (colon <= 0) continue;
      try {
        headers.append(line.slice(0, colon).trim(), line.slice(colon + 1).trim());
      } catch (error) {
        // A header the Headers class refuses is left out.
      }
    }
    return headers;
  };
  const fetch = function fetch(input, init) {
    let request;
    try {
      request = new Request(input, init);
    } catch (error) {
      return Promise.reject(error);
    }
    if (new URL(request.url).protocol !== 'corvane:') return nativeFetch.call(window, input, init);
    return new Promise((resolve, reject) => {
      const signal = request.signal;
      if (signal && signal.aborted) {
        reject(aborted());
        return;
      }
      const xhr = new XMLHttpRequest();
      xhr.open(request.method, request.url, true);
      xhr.responseType = 'arraybuffer';
      request.headers.forEach((value, name) => xhr.setRequestHeader(name, value));
      const onAbort = () => xhr.abort();
      const done = () => signal && signal.removeEventListener('abort', onAbort);
      xhr.onload = () => {
        done();
        const status = xhr.status || 200;
        const empty = request.method === 'HEAD' || [101, 204, 205, 304].includes(status);
        const response = new Response(empty ? null : xhr.response, {
          status,
          statusText: xhr.statusText,
          headers: headersOf(xhr.getAllResponseHeaders()),
        });
        Object.defineProperty(response, 'url', { value: xhr.responseURL || request.url });
        resolve(response);
      };
      xhr.onerror = () => {
        done();
        reject(new TypeError('Failed to fetch'));
      };
      xhr.onabort = () => {
        done();
        reject(aborted());
      };
      if (signal) signal.addEventListener('abort', onAbort, { once: true });
      if (request.method === 'GET' || request.method === 'HEAD') {
        xhr.send();
      } else {
        request.arrayBuffer().then((body) => xhr.send(body), reject);
      }
    });
  };
  window.fetch = fetch;
})();
)js";
} // namespace

QWebEngineScript corvaneFetchScript()
{
    QWebEngineScript script;
    script.setName(QStringLiteral("corvane-fetch"));
    script.setSourceCode(QString::fromUtf8(source));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(true);
    return script;
}
