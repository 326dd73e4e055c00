// Times a depth query and a touch through the binding, and one copy of the cloud they read.
//
// Run after a benchmark build (build/bench or build/host), interleaved with the C program that
// times the same calls on the same cloud:
//   java -Djava.library.path=BUILD/java -cp BUILD/java/solvo-support.jar:BUILD/java/benchmark/\
//       solvo-support-benchmark.jar GeometryBenchmark [ROUNDS]
//   BUILD/java/benchmark/java_geometry_timing [ROUNDS]
// Each prints the plane it found (the same in both: the seed is fixed) and the median
// microseconds per call of the depth query, the touch, and a copy of the cloud's points into
// another buffer: what a binding that copied the cloud in would add to every call.
// Run both with MALLOC_MMAP_THRESHOLD_=67108864 MALLOC_TOP_PAD_=67108864: without them glibc
// hands the touch's temporary buffers of a single-threaded C program back to the system after
// every call, and its page faults, not the binding, would make the difference.
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.FloatBuffer;
import java.util.Arrays;
import org.solvo.support.CameraIntrinsics;
import org.solvo.support.Geometry;
import org.solvo.support.PointCloud;
import org.solvo.support.TuningFlags;

public final class GeometryBenchmark {
  private static final int WIDTH = 640;
  private static final int HEIGHT = 480;
  private static final double FOCAL = 525.0;
  private static final double[] IDENTITY = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  private GeometryBenchmark() {}

  /** The floor 1.5 m below a camera looking along it, one point per pixel below the horizon. */
  private static PointCloud floor() {
    PointCloud cloud = new PointCloud(WIDTH * HEIGHT);
    FloatBuffer xyz = cloud.points();
    int count = 0;
    for (int row = HEIGHT / 2 + 2; row < HEIGHT; ++row) {
      for (int column = 0; column < WIDTH; ++column) {
        double z = 1.5 * FOCAL / (row - (HEIGHT - 1) / 2.0);
        xyz.put((float) (z * (column - (WIDTH - 1) / 2.0) / FOCAL));
        xyz.put((float) (1.5 + 0.002 * ((row * 7 + column * 13) % 5 - 2)));
        xyz.put((float) z);
        ++count;
      }
    }
    cloud.setPointCount(count);
    return cloud;
  }

  private static double median(double[] values) {
    double[] sorted = values.clone();
    Arrays.sort(sorted);
    return sorted[sorted.length / 2];
  }

  public static void main(String[] arguments) {
    int rounds = arguments.length > 0 ? Integer.parseInt(arguments[0]) : 200;
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_USE_RANDOM_SEED, "false");
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_SEED, "42");
    CameraIntrinsics intrinsics =
        new CameraIntrinsics(WIDTH, HEIGHT, FOCAL, FOCAL, (WIDTH - 1) / 2.0, (HEIGHT - 1) / 2.0);
    try (PointCloud cloud = floor()) {
      ByteBuffer source = ByteBuffer.allocateDirect(12 * cloud.pointCount());
      ByteBuffer copy = ByteBuffer.allocateDirect(source.capacity()).order(ByteOrder.nativeOrder());
      double[] depth = new double[rounds];
      double[] touch = new double[rounds];
      double[] copies = new double[rounds];
      float sink = 0;
      double[] last = new double[4];
      // The first rounds warm the JIT and the caches; all are kept, the median rules them out.
      for (int i = 0; i < rounds; ++i) {
        long start = System.nanoTime();
        float[] point = Geometry.depthAtPoint(cloud, intrinsics, IDENTITY, 0.5f, 0.75f);
        long middle = System.nanoTime();
        double[] plane = Geometry.planeUnderTouch(cloud, intrinsics, IDENTITY, 0.5f, 0.75f).plane();
        long end = System.nanoTime();
        copy.clear();
        source.clear();
        copy.put(source);
        long copied = System.nanoTime();
        depth[i] = (middle - start) / 1e3;
        touch[i] = (end - middle) / 1e3;
        copies[i] = (copied - end) / 1e3;
        last = plane;
        sink += point[2] + (float) plane[3] + copy.get(0);
      }
      System.out.printf("plane %.9f %.9f %.9f %.9f%n", last[0], last[1], last[2], last[3]);
      System.out.printf(
          "java  %d points: depth %.1f us, touch %.1f us, copy of the cloud %.1f us (%s)%n",
          cloud.pointCount(), median(depth), median(touch), median(copies), sink != 0 ? "ok" : "");
    }
  }
}
