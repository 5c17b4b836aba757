#pragma once

class QWebEngineScript;

// Before Qt 6.6 the engine refuses fetch() of custom-scheme addresses. This
// script, injected only into pages served from the chosen directory, answers
// their fetch() of "corvane:" addresses by XMLHttpRequest through the same
// scheme handler and hands back a standard Response.
QWebEngineScript corvaneFetchScript();
