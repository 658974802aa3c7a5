// Engine placeholder until the first engine sources land.
namespace zd::engine {}
