// UI placeholder.
namespace zd {}
