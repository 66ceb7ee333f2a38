#pragma once
// Overloaded{...}: one callable made of several lambdas, for std::visit over a
// std::variant. Without a lambda for every alternative the visit does not
// compile, so a new alternative cannot be forgotten.
//
//   std::visit(Overloaded{[](const A& a) { ... }, [](const B& b) { ... }}, value);

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;
