// runProcedure: the one error handler of a window procedure. Any failure in
// `body` goes to ClassError under the procedure's name; as the report answers
// false in the delivered program, the procedure is then left.
#pragma once

#include <exception>
#include <new>

#include "common/current_error.h"
#include "common/diagnostics.h"
#include "engine/engine_error.h"
#include "jet/error.h"

template <class Body>
void runProcedure(Diagnostics& diagnostics, const QString& name, Body&& body) {
  try {
    body();
  } catch (const engine::EngineError& e) {
    diagnostics.ClassError(name, currentErrorOf(e));
  } catch (const jet::Error& e) {
    diagnostics.ClassError(name, currentErrorOf(e));
  } catch (const RuntimeError& e) {
    diagnostics.ClassError(name, currentErrorOf(e));
  } catch (const std::exception& e) {
    diagnostics.ClassError(name, currentErrorOf(e));
  }
}
