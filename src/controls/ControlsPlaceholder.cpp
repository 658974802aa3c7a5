// Controls placeholder until the first widgets land.
namespace zd::controls {}
